#include "server/CUtil.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/TempDir.h"

namespace {

// A document as an administrator's tool writes it, with a duplicate key, a line without key=",
// a line that is not an option, and entity and character references.
const std::wstring kDocument =
    L"<?xml version=\"1.0\"?>\n"
    L"<Root>\n"
    L"<Category name=\"UI-Modification\">\n"
    L"<Controls>\n"
    L"<KRTPPD key=\"Duplex\" default=\"DuplexNoTumble\"/>\n"
    L"<KRTPPD key=\"Duplex\" default=\"None\"/>\n"
    L"<KRTPPD default=\"orphan\"/>\n"
    L"<Comment key=\"NotAnOption\" default=\"x\"/>\n"
    L"<KRTPPD key=\"KRJobName\" default=\"R&amp;D &lt;weekly&gt; &#x20AC;5 &#65;\"/>\n"
    L"</Controls>\n"
    L"<Lock>\n"
    L"<KRTPPD key=\"Collate\" value=\"True\"/>\n"
    L"</Lock>\n"
    L"<Show>\n"
    L"<KRTPPD key=\"MediaType\" value=\"False\"/>\n"
    L"</Show>\n"
    L"</Category>\n"
    L"<Controls><KRTPPD key=\"Outside\" default=\"1\"/></Controls>\n"
    L"</Root>\n";

TEST(CUtil, SectionsBecomeMapsWithTheFirstKeyWinningAndEntitiesDecoded) {
  DMTKeyValueMap controls;
  ASSERT_TRUE(CUtil::GetControlKeyValFromDMTXmlData(kDocument, controls));
  const DMTKeyValueMap expected{{L"Duplex", L"DuplexNoTumble"},
                                {L"KRJobName", L"R&D <weekly> \u20AC5 A"}};
  EXPECT_EQ(controls, expected);

  DMTKeyValueMap locked;
  ASSERT_TRUE(CUtil::GetLockedKeyValFromDMTXmlData(kDocument, locked));
  EXPECT_EQ(locked, (DMTKeyValueMap{{L"Collate", L"True"}}));
  DMTKeyValueMap hidden;
  ASSERT_TRUE(CUtil::GetHiddenKeyValFromDMTXmlData(kDocument, hidden));
  EXPECT_EQ(hidden, (DMTKeyValueMap{{L"MediaType", L"False"}}));
}

TEST(CUtil, MissingCategoryOrSectionGivesNoMap) {
  const struct {
    const wchar_t* text;
  } cases[] = {
      {L""},
      {L"<Controls>\n<KRTPPD key=\"A\" default=\"1\"/>\n</Controls>"},  // no category
      {L"<Category name=\"UI-Modification\">\n<Lock></Lock></Category>"},   // no controls
      {L"<Category name=\"UI-Modification\">\n<Controls>\n<KRTPPD key=\"A\" default=\"1\"/>"
       L"</Category></Controls>"},  // the section ends outside the category
      {L"</Category><Category name=\"UI-Modification\"><Controls></Controls>"},  // end before start
  };
  for (const auto& c : cases) {
    DMTKeyValueMap map;
    EXPECT_FALSE(CUtil::GetControlKeyValFromDMTXmlData(c.text, map)) << CUtil::narrow(c.text);
    EXPECT_TRUE(map.empty());
  }
}

TEST(CUtil, DecodedTextsThatWouldBreakALineAreNotTaken) {
  const std::wstring text =
      L"<Category name=\"UI-Modification\"><Controls>\n"
      L"<KRTPPD key=\"KRJobName\" default=\"a&#10;%%EOF\"/>\n"
      L"<KRTPPD key=\"K&#13;\" default=\"1\"/>\n"
      L"<KRTPPD key=\"Fine\" default=\"&amp;amp;\"/>\n"
      L"</Controls></Category>";
  DMTKeyValueMap map;
  ASSERT_TRUE(CUtil::GetControlKeyValFromDMTXmlData(text, map));
  EXPECT_EQ(map, (DMTKeyValueMap{{L"Fine", L"&amp;"}}));  // decoded once, not twice
}

TEST(CUtil, DecodeXMLTextLeavesWhatIsNoReferenceAlone) {
  const struct {
    const wchar_t* raw;
    const wchar_t* decoded;
  } cases[] = {
      {L"plain", L"plain"},
      {L"A & B", L"A & B"},
      {L"&unknown; &amp;", L"&unknown; &"},
      {L"&quot;&apos;&#x41;&#66;", L"\"'AB"},
      {L"<tag>&amp;</tag>", L"<tag>&</tag>"},
      {L"  &amp;  ", L"  &  "},
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(CUtil::DecodeXMLText(c.raw), c.decoded) << CUtil::narrow(c.raw);
}

TEST(CUtil, TagAndAttributeSearches) {
  std::wstring out = L"unchanged";
  EXPECT_TRUE(CUtil::GetNodeDataFromXMLData(L"<a>", L"</a>", L"x<a>in</a>y</a>", out));
  EXPECT_EQ(out, L"<a>in");
  EXPECT_FALSE(CUtil::GetNodeDataFromXMLData(L"<a>", L"</b>", L"<a>in</a>", out));
  EXPECT_EQ(out, L"<a>in");

  EXPECT_TRUE(CUtil::GetKeyFromXMLData(L"key=\"", L"\"", L"<K key=\"A\" v=\"B\"/>", out));
  EXPECT_EQ(out, L"A");
  EXPECT_TRUE(CUtil::GetValueFromXMLData(L"v=\"", L"\"", L"<K key=\"A\" v=\"\"/>", out));
  EXPECT_EQ(out, L"");
  EXPECT_FALSE(CUtil::GetValueFromXMLData(L"v=\"", L"\"", L"<K v=\"open", out));
  EXPECT_FALSE(CUtil::GetKeyFromXMLData(L"key=\"", L"\"", L"<K/>", out));
}

TEST(CUtil, LinesWalkToTheEnd) {
  const std::wstring text = L"one\ntwo\n\nlast";
  std::wstring lines;
  long position = 0;
  long next = 0;
  std::wstring line;
  while (position >= 0 && CUtil::GetNextLineFromXMLData(position, L"\n", text, line, next)) {
    lines += L"[" + line + L"]";
    position = next;
  }
  EXPECT_EQ(lines, L"[one][two][][last]");
  EXPECT_FALSE(CUtil::GetNextLineFromXMLData(-1, L"\n", text, line, next));
  EXPECT_FALSE(CUtil::GetNextLineFromXMLData(static_cast<long>(text.size()) + 1, L"\n", text, line,
                                             next));
  EXPECT_EQ(next, -1);
}

TEST(CUtil, TokenizeCopiesAtMostTheAnnouncedCount) {
  const struct {
    const wchar_t* text;
    bool made;
    int count;
    std::wstring joined;
  } cases[] = {
      {L"3\nA\nB\nC\nD", true, 3, L"A|B|C|"},
      {L"2,,A,,B", true, 2, L"A|B|"},  // empty tokens are skipped
      {L"5\nA", true, 1, L"A|"},         // fewer tokens than announced
      {L"2147483647\nA\nB", true, 2, L"A|B|"},
      {L"1", true, 0, L""},
      {L"0\nA", false, 0, L""},
      {L"-3\nA", false, 0, L""},
      {L"x\nA", false, 0, L""},
      {L"", false, 0, L""},
  };
  for (const auto& c : cases) {
    int count = -7;
    wchar_t** array = CUtil::tockenizeWstring(&count, c.text, L"\n,");
    EXPECT_EQ(array != nullptr, c.made) << CUtil::narrow(c.text);
    EXPECT_EQ(count, c.count) << CUtil::narrow(c.text);
    std::wstring joined;
    for (int i = 0; i < count; ++i) joined += std::wstring(array[i]) + L"|";
    EXPECT_EQ(joined, c.joined);
    CUtil::deallocTwoDimenArray(array, count);
  }
}

TEST(CUtil, FindLineWithKeyGivesTheWholeToken) {
  wchar_t* line = CUtil::findLineWithKey(L"Tray2", L"Tray1=A\nTray2=B\nTray2=C", L"\n");
  ASSERT_NE(line, nullptr);
  EXPECT_STREQ(line, L"Tray2=B");
  std::free(line);
  EXPECT_EQ(CUtil::findLineWithKey(L"Tray9", L"Tray1=A", L"\n"), nullptr);
  EXPECT_EQ(CUtil::findLineWithKey(nullptr, L"Tray1=A", L"\n"), nullptr);
}

TEST(CUtil, WtoiReadsLikeAtoiWithoutOverflow) {
  const struct {
    const wchar_t* text;
    int value;
  } cases[] = {
      {L"42", 42},       {L"  -17x", -17},        {L"+8", 8},
      {L"x1", 0},        {L"", 0},                {L"99999999999999999999", INT_MAX},
      {L"-2147483648", INT_MIN}, {L"-99999999999999999999", INT_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(CUtil::wtoi(c.text), c.value) << CUtil::narrow(c.text);
  EXPECT_EQ(CUtil::wtoi(nullptr), 0);
}

TEST(CUtil, ReadFileWithWcharContentEndsInAWideTerminator) {
  quill::testing::TempDir dir;
  const std::wstring wide = L"Tray1=A";
  const std::string bytes(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
  // Sizes around the reader's round size, so a read that ran past its buffer would show.
  for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{65535},
                                 std::size_t{65536}, std::size_t{65537}, bytes.size()}) {
    const std::string content = size == bytes.size() ? bytes : std::string(size, 'q');
    const std::string path = dir.Write("file" + std::to_string(size), content);
    std::size_t read = 0;
    char* buffer = CUtil::readFileWithWcharContent(path.c_str(), &read);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(read, size);
    EXPECT_EQ(std::string(buffer, read), content);
    EXPECT_EQ(std::memcmp(buffer + read, "\0\0\0\0", 4), 0);
    if (size == bytes.size()) {
      EXPECT_EQ(std::wstring(reinterpret_cast<wchar_t*>(buffer)), wide);
    }
    std::free(buffer);
  }
  EXPECT_EQ(CUtil::readFileWithWcharContent(nullptr), nullptr);
  EXPECT_EQ(CUtil::readFileWithWcharContent((dir.path() / "missing").c_str()), nullptr);
}

TEST(CUtil, ReplaceEveryOccurrence) {
  EXPECT_EQ(CUtil::__replace("a/:b/:c", "/:", "\\/:"), "a\\/:b\\/:c");
  EXPECT_EQ(CUtil::__replace("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(CUtil::__replace("abc", "", "x"), "abc");
  EXPECT_EQ(CUtil::__replaceW(L"(x)(y)", L")", L"\\)"), L"(x\\)(y\\)");
}

TEST(CUtil, NarrowAndWidenRoundTripUnicode) {
  const std::wstring text = L"Gr\u00FC\u00DF \u20AC \U0001F600";
  EXPECT_EQ(CUtil::narrow(text), "Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80");
  EXPECT_EQ(CUtil::widen(CUtil::narrow(text)), text);
}

TEST(CUtil, AllocMemoryAndRandomIDs) {
  wchar_t** rows = nullptr;
  ASSERT_TRUE(CUtil::AllocMemory(&rows, 3, 8));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(rows[i][7], L'\0');
  CUtil::deallocateArrayOfStrings(3, rows);
  EXPECT_FALSE(CUtil::AllocMemory(&rows, 0, 8));
  EXPECT_EQ(rows, nullptr);

  const std::string a = CUtil::GenerateRandomID();
  EXPECT_EQ(a.size(), 32u);
  EXPECT_EQ(a.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_NE(a, CUtil::GenerateRandomID());
}

}  // namespace
