// Libraries loaded while the program runs: a missing library or function is told in Portuguese
// instead of failing the program.
#include "platform/shared_library.h"

#include <gtest/gtest.h>

#include <cmath>

namespace parlendo {
namespace {

TEST(SharedLibrary, LoadsAFunctionAndTellsWhatIsMissing) {
    std::string error;
    std::optional<SharedLibrary> math = SharedLibrary::load("libm.so.6", error);
    ASSERT_TRUE(math.has_value()) << error;
    double (*cosine)(double) = nullptr;
    ASSERT_TRUE(math->resolve(cosine, "cos", error)) << error;
    EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
    EXPECT_DOUBLE_EQ(cosine(M_PI), -1.0);

    error.clear();
    EXPECT_FALSE(math->resolve(cosine, "no_such_function_here", error));
    EXPECT_EQ(cosine, nullptr);
    EXPECT_EQ(error, "a biblioteca não tem a função no_such_function_here");

    error.clear();
    EXPECT_FALSE(SharedLibrary::load("libno-such-library.so.7", error).has_value());
    EXPECT_EQ(error, "não foi possível carregar a biblioteca libno-such-library.so.7");
}

}  // namespace
}  // namespace parlendo
