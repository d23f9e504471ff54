program Primes;
const
  Limit = 1000000;
var
  composite: array[0..Limit] of Boolean;
  source, target: Text;
  n, i, j, count: LongInt;
begin
  Assign(source, 'input.txt');
  Reset(source);
  Read(source, n);
  Close(source);
  count := 0;
  for i := 2 to n do
    if not composite[i] then
    begin
      Inc(count);
      if i <= 1000 then
      begin
        j := i * i;
        while j <= n do
        begin
          composite[j] := True;
          Inc(j, i);
        end;
      end;
    end;
  Assign(target, 'output.txt');
  Rewrite(target);
  WriteLn(target, count);
  Close(target);
end.
