// Allocations failing inside the platform layer: whatever fails, what was
// taken before the failure is given back. Under LeakSanitizer (make
// test-sanitize) a lost block fails the run; open descriptors and libxml2's
// own allocation count show the same in the plain build.

#include <dirent.h>
#include <gtest/gtest.h>
#include <libxml/xmlmemory.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <thread>

#include "alloc/failing_allocator.h"
#include "platform/codepage.h"
#include "platform/dom.h"
#include "platform/system.h"

using vantomer::test::allocationsLeft;
using vantomer::test::failures;

namespace vantomer {
namespace {

void failAt(long n) {
  failures() = 0;
  allocationsLeft() = n;
}

// Stops failing; true when nothing failed, that is the sweep is complete.
bool stopFailing() {
  allocationsLeft() = -1;
  return failures() == 0;
}

int openDescriptors() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
  }
  return count;
}

// Blocks libxml2 holds, counted while a test runs.
std::atomic<long> gXmlBlocks{0};

void* countedMalloc(size_t size) {
  void* p = std::malloc(size);
  if (p) ++gXmlBlocks;
  return p;
}
void* countedRealloc(void* old, size_t size) {
  void* p = std::realloc(old, size);
  if (p && !old) ++gXmlBlocks;
  return p;
}
char* countedStrdup(const char* s) {
  char* p = strdup(s);
  if (p) ++gXmlBlocks;
  return p;
}
void countedFree(void* p) {
  if (p) --gXmlBlocks;
  std::free(p);
}

class DomOutOfMemory : public ::testing::Test {
 protected:
  void SetUp() override {
    dom::initialize();
    xmlMemSetup(countedFree, countedMalloc, countedRealloc, countedStrdup);
    gXmlBlocks = 0;
  }
  void TearDown() override { xmlMemSetup(std::free, std::malloc, std::realloc, strdup); }
};

const std::string kDocType = "<!DOCTYPE html [<!ENTITY nbsp \"&#160;\">]>";

TEST_F(DomOutOfMemory, LoadingAFileClosesIt) {
  const std::string path = ::testing::TempDir() + "/platform_oom_" + std::to_string(getpid());
  { std::ofstream(path) << "<root><v>a value longer than a short string</v></root>"; }
  const int descriptors = openDescriptors();
  bool complete = false;
  for (long n = 0; !complete; ++n) {
    HRESULT hr;
    {
      dom::Document doc;
      failAt(n);
      hr = doc.load(path);
      complete = stopFailing();
    }
    EXPECT_EQ(hr, complete ? S_OK : E_OUTOFMEMORY) << n;
    EXPECT_EQ(openDescriptors(), descriptors) << n;
    EXPECT_EQ(gXmlBlocks.load(), 0) << n;
  }
  std::remove(path.c_str());
}

// A document's serialisation starts with its DOCTYPE, which libxml2 writes
// into a buffer of its own.
TEST_F(DomOutOfMemory, SerialisingTheDocTypeFreesItsBuffer) {
  const std::string page = kDocType + "<html><body><p>a&nbsp;b</p></body></html>";
  std::string expected;
  {
    dom::Document doc;
    ASSERT_EQ(doc.loadXML(page), S_OK);
    expected = doc.documentElement().parentNode().xml();
  }
  ASSERT_EQ(expected.find("<!DOCTYPE html"), 0u);
  bool complete = false;
  for (long n = 0; !complete; ++n) {
    std::string out;
    bool threw = false;
    {
      dom::Document doc;
      ASSERT_EQ(doc.loadXML(page), S_OK);
      const dom::Node document = doc.documentElement().parentNode();
      failAt(n);
      try {
        document.appendXml(out);
      } catch (const std::bad_alloc&) {
        threw = true;
      }
      complete = stopFailing();
    }
    EXPECT_EQ(threw, !complete) << n;
    if (!threw) {
      EXPECT_EQ(out, expected) << n;
    }
    EXPECT_EQ(gXmlBlocks.load(), 0) << n;
  }
}

// A value held in several nodes is replaced by a new text node; when the old
// nodes cannot be kept, the new one must not be lost and the value stays.
TEST_F(DomOutOfMemory, ReplacingAnAttributeValueKeepsOrFreesIt) {
  bool complete = false;
  for (long n = 0; !complete; ++n) {
    HRESULT hr;
    std::string value;
    {
      dom::Document doc;
      ASSERT_EQ(doc.loadXML(kDocType + "<r v=\"x&nbsp;y\"/>"), S_OK);
      dom::Node r = doc.documentElement();
      failAt(n);
      hr = r.setAttribute("v", "plain");
      complete = stopFailing();
      ASSERT_EQ(r.getAttribute("v", value), S_OK);
    }
    EXPECT_EQ(hr, complete ? S_OK : E_OUTOFMEMORY) << n;
    EXPECT_EQ(value, complete ? "plain" : "x\xC2\xA0y") << n;
    EXPECT_EQ(gXmlBlocks.load(), 0) << n;
  }
}

// Each thread opens its own converters; one opened when the cache cannot
// grow is closed again.
TEST(CodePageOutOfMemory, ConverterOpenedWhenTheCacheCannotGrow) {
  bool complete = false;
  for (long n = 0; !complete; ++n) {
    HRESULT hr;
    std::string out = "untouched";
    std::thread([&] {
      failAt(n);
      hr = codepage::encode(1252, "caf\xC3\xA9 \xE2\x82\xAC", out);
      complete = stopFailing();
    }).join();
    EXPECT_EQ(hr, complete ? S_OK : E_OUTOFMEMORY) << n;
    EXPECT_EQ(out, complete ? "caf\xE9 \x80" : "untouched") << n;
  }
}

TEST(SystemOutOfMemory, RealPathFreesTheResolvedPath) {
  // Long enough that its copy must be allocated, wherever the tests run.
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / "vantomer-real-path-of-some-length";
  std::filesystem::create_directories(dir);
  const std::string expected = std::filesystem::canonical(dir).string();
  ASSERT_GT(expected.size(), 15u);
  bool complete = false;
  for (long n = 0; !complete; ++n) {
    std::string path;
    bool threw = false;
    failAt(n);
    try {
      path = sys::realPath(dir.string() + "/.");
    } catch (const std::bad_alloc&) {
      threw = true;
    }
    complete = stopFailing();
    EXPECT_EQ(threw, !complete) << n;
    if (!threw) {
      EXPECT_EQ(path, expected);
    }
  }
}

}  // namespace
}  // namespace vantomer
