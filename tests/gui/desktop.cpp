#include "desktop.h"

#include <gtest/gtest.h>

#include <memory>

namespace ks::test {
namespace {

int g_argc = 1;
char g_name[] = "test_gui";
char* g_argv[] = {g_name, nullptr};
std::unique_ptr<QApplication> g_app;

class AppEnvironment : public ::testing::Environment {
  public:
    void TearDown() override { g_app.reset(); }
};

[[maybe_unused]] const auto* const g_environment =
    ::testing::AddGlobalTestEnvironment(new AppEnvironment);

}  // namespace

QApplication& App() {
    if (!g_app) {
        g_app = std::make_unique<QApplication>(g_argc, g_argv);
    }
    return *g_app;
}

}  // namespace ks::test
