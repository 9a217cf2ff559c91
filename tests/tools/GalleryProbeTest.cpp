// `qlwprobe gallery DIR`: every picture of the drawing layer written, each file in its format.
#include <gtest/gtest.h>

#include "TestSupport.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>

TEST(ProbeGallery, WritesEveryPictureInItsFormat) {
  const std::filesystem::path dir = std::filesystem::path(qlwtest::ScratchDir()) / "gallery";
  const std::string command = std::string(QLW_BIN_DIR) + "/qlwprobe gallery " + dir.string() + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_TRUE(pipe);
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int status = pclose(pipe);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const struct {
    const char* file;
    std::string magic;
  } files[] = {{"callouts.png", "\x89PNG"}, {"arrows.png", "\x89PNG"},  {"markers.png", "\x89PNG"},
               {"text.png", "\x89PNG"},     {"focusframe.png", "\x89PNG"}, {"grayscale.png", "\x89PNG"},
               {"buffer.png", "\x89PNG"},   {"cursors.png", "\x89PNG"},  {"scene.png", "\x89PNG"},
               {"scene.jpg", "\xFF\xD8\xFF"}, {"scene.tif", "II*"},      {"scene.bmp", "BM"},
               {"scene.gif", "GIF89a"},     {"scene.svg", "<?xml"}};
  std::string expected;
  for (const auto& f : files) {
    expected += std::string("wrote ") + f.file + "\n";
    std::ifstream in(dir / f.file, std::ios::binary);
    std::string head(f.magic.size(), '\0');
    in.read(head.data(), std::streamsize(head.size()));
    EXPECT_EQ(head, f.magic) << f.file;
  }
  EXPECT_EQ(out, expected);
  std::ifstream svg(dir / "scene.svg");
  std::string text((std::istreambuf_iterator<char>(svg)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("<svg width=\"320\" height=\"200\""), std::string::npos);
}
