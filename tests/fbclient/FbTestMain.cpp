// Every process of this program gets the private Firebird test instance's environment before its
// first test; the server itself starts on the first test that asks for it (FbTestServer()).
#include "FbTestServer.h"

namespace {
[[maybe_unused]] ::testing::Environment* const gFbEnvironment =
    ::testing::AddGlobalTestEnvironment(new TFbTestEnvironment);
}
