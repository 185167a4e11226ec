#include "desktop.h"

#include <gtest/gtest.h>

#include <memory>

#include "gui/french.h"

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
        gui::InstallQtFrench(*g_app);  // as the program does; the tests read French buttons
    }
    return *g_app;
}

}  // namespace ks::test
