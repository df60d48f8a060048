#pragma once

// Exercises an installed library through the plain exports and the listener interfaces only,
// as a game built with any compiler would, without a launcher running. Call once per process,
// before any other use of the library. Returns 0 when every check holds, otherwise the number
// of the first check that failed.
int RunPackageChecks();
