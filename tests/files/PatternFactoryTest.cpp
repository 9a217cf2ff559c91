// The pattern factory asks the file layer's recogniser, content tests included.
#include "Win.h"

#include "FileTypes.h"
#include "QLPattern.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(PatternFactory, UsesTheFileLayersRecogniser) {
  // The factory's own stand-in only knows binary crystal magics; a CIF is recognised by content.
  const CString path(QLW_SOURCE_DIR "/examples/rutile.cif");
  EXPECT_EQ(CQLPattern::RecogniseFileType(path), 0u);
  InstallFileTypeRecogniser();
  EXPECT_EQ(CQLPattern::RecogniseFileType(path), 22u);
  // CIF files are read by the document's open path, not through the factory.
  EXPECT_EQ(CQLPattern::NewPatternFromFilePath(path), nullptr);
}
