// What the built .exe carries: its manifest, and no runtime DLLs to bring along.
#include <string>

#include <gtest/gtest.h>

#include "support.h"

namespace tolvane {
namespace {

TEST(WindowsExe, EmbedsAnAsInvokerManifest) {
  const std::string exe = test::read_file(TOLVANE_TOOL_PATH);
  ASSERT_FALSE(exe.empty());
  EXPECT_NE(exe.find(R"(<requestedExecutionLevel level="asInvoker")"), std::string::npos);
}

TEST(WindowsExe, NeedsNoMinGWRuntimeDlls) {
  const std::string exe = test::read_file(TOLVANE_TOOL_PATH);
  for (const char* dll : {"libstdc++-6.dll", "libgcc_s_seh-1.dll", "libwinpthread-1.dll"}) {
    SCOPED_TRACE(dll);
    EXPECT_EQ(exe.find(dll), std::string::npos);
  }
}

}  // namespace
}  // namespace tolvane
