program Sum;
var
  source, target: Text;
  a, b: Int64;
begin
  Assign(source, 'input.txt');
  Reset(source);
  Read(source, a, b);
  Close(source);
  Assign(target, 'output.txt');
  Rewrite(target);
  WriteLn(target, a + b);
  Close(target);
end.
