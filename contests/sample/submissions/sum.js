const fs = require("fs");

const [a, b] = fs.readFileSync("input.txt", "utf8").trim().split(/\s+/).map(BigInt);
fs.writeFileSync("output.txt", `${a + b}\n`);
