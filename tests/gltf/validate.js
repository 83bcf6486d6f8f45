// node validate.js PACKAGE-DIR FILE.glb...: the Khronos validator (the npm
// package gltf-validator at PACKAGE-DIR) on each file. One line per error or
// warning and a summary per file; exit status 1 when any file has an error
// or a warning, or cannot be read.
const [validatorPath, ...files] = process.argv.slice(2);
const validator = require(validatorPath);
const fs = require('fs');
(async () => {
  let bad = 0;
  for (const file of files) {
    const name = file.split('/').pop();
    try {
      const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)),
                                                   {maxIssues: 0, writeTimestamp: false});
      const issues = report.issues;
      for (const m of issues.messages)
        if (m.severity <= 1) console.log(`${name}: ${m.severity === 0 ? 'error' : 'warning'} ${m.code} at ${m.pointer}: ${m.message}`);
      console.log(`${name}: validator ${report.validatorVersion}: ${issues.numErrors} errors, ` +
                  `${issues.numWarnings} warnings, ${issues.numInfos} infos; ` +
                  `${report.info.totalTriangleCount} triangles, ${report.info.totalVertexCount} vertices`);
      if (issues.numErrors || issues.numWarnings) bad = 1;
    } catch (error) {
      console.log(`${name}: the validator could not read it: ${error}`);
      bad = 1;
    }
  }
  process.exit(bad);
})();
