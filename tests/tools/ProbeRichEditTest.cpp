// `qlwprobe richedit`: the result, the format, the paragraphs and the links, and what a click on
// each link launches (only web and mail addresses).
#include "ProbeRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

TEST(ProbeRichEdit, PrintsTheTextAndLinksAndClicksOnlyWebAndMailLinks) {
  const fs::path file = fs::path(qlwtest::ScratchDir()) / "probe-richedit.rtf";
  std::ofstream(file) << "{\\rtf1{\\fonttbl{\\f0 Arial;}}\\b Caf\\'e9\\b0\\par www.a.example and file:///etc/passwd"
                         "\\par mailto:b@c.example}";
  const qlwtest::ProbeRun run =
      qlwtest::RunShell("env -u QLW_REGISTRY_DIR -u QLW_RUNTIME_DIR " +
                        qlwtest::ProbeCommand("richedit --file '" + file.string() + "' --click") + " 2>/dev/null");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out,
            "result: true\nformat: rtf\ntext: Café | www.a.example and file:///etc/passwd | mailto:b@c.example\n"
            "link: www.a.example\nlink: file:///etc/passwd\nlink: mailto:b@c.example\n"
            "launch: xdg-open \"http://www.a.example\"\nlaunch: xdg-open \"mailto:b@c.example\"\n");
  const qlwtest::ProbeRun plain = qlwtest::RunShell(qlwtest::ProbeCommand("richedit --text ' {\\rtf1 x}'") + " 2>/dev/null");
  EXPECT_EQ(plain.out, "result: true\nformat: plain\ntext:  {\\rtf1 x}\n") << plain.out;
}
