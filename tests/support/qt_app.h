#pragma once

namespace corvanta::testing {

// Creates the QCoreApplication that network and timer code needs, once per test process.
void ensureCoreApplication();

}  // namespace corvanta::testing
