// The root, elements, controls and errors of the PPD object model.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "PPDX/PPDObjects/PPDXElement.h"
#include "PPDX/PPDX.h"
#include "PPDX/PPDXErrors.h"
#include "constraints/UIConstraints.h"
#include "foundation/PointerList.h"
#include "foundation/ProcessGlobals.h"
#include "support/TempDir.h"

namespace {

class TestRoot : public PPDX {
 public:
  TestRoot() = default;
  TestRoot(const std::string& path, const std::vector<std::string>* names) : PPDX(path, names) {}
  explicit TestRoot(bool* deleted) : deleted_(deleted) {}
  ~TestRoot() override {
    if (deleted_) *deleted_ = true;
  }
  void Parse() override {}
  using PPDX::SetValidHeader;

 private:
  bool* deleted_ = nullptr;
};

class TestElement : public PPDXElement {
 public:
  TestElement(char const* keyword, bool visible) : PPDXElement(keyword, "Name", visible) {}
};

class TestControl : public PPDXControl {
 public:
  TestControl(char const* keyword, std::vector<const char*> flags, const char* code = nullptr,
              UIConstraints* constraints = nullptr, CNTL_TYPE type = kBaseControl)
      : PPDXControl(keyword, "Name", *MakeFlags(flags), Copy(code), code ? std::strlen(code) : 0,
                    true, constraints) {
    SetType(type);
  }
  void ResetToDefaultValue() override {}
  std::optional<std::string> CopyCurrentControlValueString() override { return std::nullopt; }
  void SetCurrentControlWithCFString(std::string const&) override {}

 private:
  static PointerList* MakeFlags(const std::vector<const char*>& flags) {
    static thread_local PointerList list;
    list.MakeEmpty();
    for (const char* f : flags) list.PushBack(new CString(f));
    return &list;
  }
  static unsigned char* Copy(const char* code) {
    if (code == nullptr) return nullptr;
    auto* copy = static_cast<unsigned char*>(std::malloc(std::strlen(code)));
    std::memcpy(copy, code, std::strlen(code));
    return copy;
  }
};

}  // namespace

TEST(PPDXRoot, ReleaseDeletesOnTheMatchingRelease) {
  bool deleted = false;
  auto* root = new TestRoot(&deleted);
  root->Retain();
  root->Retain();
  EXPECT_FALSE(root->Release());
  EXPECT_FALSE(deleted);
  EXPECT_TRUE(root->Release());
  EXPECT_TRUE(deleted);

  bool never_retained = false;
  EXPECT_TRUE((new TestRoot(&never_retained))->Release());
  EXPECT_TRUE(never_retained);
}

TEST(PPDXRoot, IsValidPPD) {
  struct Case {
    const char* name;
    bool header;
    std::vector<bool> errors;  // fatal flag of each error
    bool all_fatal;
    bool valid;
  };
  const std::vector<Case> cases = {
      {"no header", false, {}, false, false},
      {"clean", true, {}, false, true},
      {"non-fatal error", true, {false}, false, true},
      {"fatal error", true, {false, true}, false, false},
      {"all errors fatal", true, {false}, true, false},
      {"all fatal, no error", true, {}, true, true},
  };
  for (const auto& c : cases) {
    TestRoot root;
    root.SetValidHeader(c.header);
    root.AllErrorsFatal(c.all_fatal);
    for (bool fatal : c.errors) root.GetErrors()->Add(new PPDXErrorObj(PPDErr_NoParent, fatal));
    EXPECT_EQ(root.IsValidPPD(), c.valid) << c.name;
  }
}

TEST(PPDXRoot, PrinterNameTestRunsWhenNamesAreGiven) {
  quill::testing::TempDir dir;
  const std::string path = dir.Write("q.ppd", "*PPD-Adobe: \"4.3\"\n*PCFileName: \"Q.PPD\"\n");
  const std::vector<std::string> good = {"Q.PPD"}, bad = {"X.PPD"};
  EXPECT_TRUE(TestRoot(path, nullptr).IsValidPrinterName());
  EXPECT_TRUE(TestRoot(path, &good).IsValidPrinterName());
  EXPECT_FALSE(TestRoot(path, &bad).IsValidPrinterName());
  EXPECT_EQ(TestRoot(path, nullptr).GetStringTextEncoding(), 0u);
}

TEST(PPDXElement, OkayToDisplayByOptions) {
  TestElement parent("Parent", true);
  struct Case {
    bool visible;
    bool has_parent;
    std::vector<bool> by_option;  // options 0, 1, 2, 3
  };
  const std::vector<Case> cases = {
      {true, true, {true, true, true, true}},
      {true, false, {false, true, false, true}},
      {false, true, {false, false, true, true}},
      {false, false, {false, false, false, true}},
  };
  for (const auto& c : cases) {
    TestElement element("E", c.visible);
    if (c.has_parent) element.SetParent(&parent);
    for (_DISPLAY_OPTIONS_ options = 0; options < 4; ++options) {
      EXPECT_EQ(element.OkayToDisplay(options), c.by_option[options])
          << "visible " << c.visible << " parent " << c.has_parent << " options " << options;
    }
  }
}

TEST(PPDXElement, KeywordsAndEquality) {
  TestElement a("*Duplex", true), b("*Duplex", true), none1(nullptr, true), none2("", true);
  EXPECT_TRUE(a == b);
  EXPECT_TRUE(a == "*Duplex");
  EXPECT_FALSE(none1 == none2);  // elements without keywords are never equal
  EXPECT_FALSE(a == none1);
  EXPECT_EQ(none2.Keyword(), nullptr);
  EXPECT_STREQ(a.UserName(), "Name");
  EXPECT_TRUE(IsOrphan(nullptr));
  EXPECT_EQ(Keyword(nullptr), nullptr);
  EXPECT_FALSE(EqualsKeyWord(&a, nullptr));
}

TEST(PPDXControl, FlagTests) {
  TestControl control("*KRDuplex", {"Spooler", "DriverUserDisplayHidden"});
  EXPECT_TRUE(control.IsSpooler());
  EXPECT_TRUE(control.IsNoQuillDriverUI());
  EXPECT_FALSE(control.IsCommand());
  EXPECT_EQ(control.ControlFlagCount(), 2);
  EXPECT_STREQ(control.FirstControlFlag(), "Spooler");
  EXPECT_STREQ(control.NextControlFlag(), "DriverUserDisplayHidden");
  EXPECT_EQ(control.NextControlFlag(), nullptr);
  EXPECT_EQ(control.FindControlFlag("Spool"), nullptr);

  struct Case {
    const char* flag;
    bool (*test)(void*);
  };
  const std::vector<Case> cases = {
      {"Command", IsCommandControl}, {"Spooler", IsSpoolerControl},
      {"NoQuillDriverUI", IsNoQuillDriverUIControl}, {"Setup", IsSetupControl},
      {"MacQJN", IsMacQJNControl},   {"MacIS", IsMacImgShiftControl},
  };
  for (const auto& c : cases) {
    TestControl flagged("*K", {c.flag});
    TestControl other("*K", {"Other"});
    EXPECT_TRUE(c.test(&flagged)) << c.flag;
    EXPECT_FALSE(c.test(&other)) << c.flag;
    EXPECT_FALSE(c.test(nullptr)) << c.flag;
  }
}

TEST(PPDXControl, ValidKeyword) {
  EXPECT_FALSE(PPDXControl::ValidKeyword("*KR_PROP_WATERMARK"));
  EXPECT_FALSE(PPDXControl::ValidKeyword("*KRToneSmith"));
  EXPECT_FALSE(PPDXControl::ValidKeyword(nullptr));
  EXPECT_TRUE(PPDXControl::ValidKeyword("*KRDuplex"));
  EXPECT_TRUE(PPDXControl::ValidKeyword("*KR_PROP_WATERMARKS"));
}

TEST(PPDXControl, PostScriptCopiesOnlyWithABuffer) {
  TestControl control("*K", {}, "abc");
  EXPECT_EQ(control.PostScript(nullptr), 3);
  unsigned char out[8] = {};
  EXPECT_EQ(GetPostScript(&control, out), 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 3), "abc");
  EXPECT_EQ(GetPostScript(nullptr, out), 0);
}

TEST(PPDXControl, ReportsChoicesToTheConstraintStore) {
  UIConstraints store;
  store.KVSInsert("*Duplex", "None");
  store.KVSInsert("*Duplex", "DuplexTumble");
  store.KVSInsert("*PageSize", "A4");
  store.KVSInsert("*PageSize", "SRA3");
  store.Add("*Duplex", "DuplexTumble", "*PageSize", "SRA3", false);
  store.Resolve();
  TestControl control("*PageSize", {}, nullptr, &store);
  control.UpdateKVCache("*PageSize", "SRA3");
  EXPECT_TRUE(store.IsKVConstrained("*Duplex", "DuplexTumble"));
  control.UpdateKVCache("*PageSize", "A4");
  EXPECT_FALSE(store.IsKVConstrained("*Duplex", "DuplexTumble"));
}

TEST(PPDXControl, FeatureBlock) {
  TestControl control("*Duplex", {});
  struct Case {
    const char* code;
    bool wrap;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"<</Duplex true>>", true, "%%BeginFeature: *Duplex On\n<</Duplex true>>%%EndFeature\n"},
      {nullptr, true, "%%BeginFeature: *Duplex On\n\n%%EndFeature\n"},
      {"code", false, "code"},
      {nullptr, false, "\n"},
  };
  for (const auto& c : cases) {
    const auto* code = reinterpret_cast<const unsigned char*>(c.code);
    const long length = c.code ? static_cast<long>(std::strlen(c.code)) : 0;
    const long counted = control.GeneratePSOutputData(nullptr, code, length, "On", c.wrap);
    std::vector<unsigned char> out(static_cast<size_t>(counted));
    const long written = control.GeneratePSOutputData(out.data(), code, length, "On", c.wrap);
    EXPECT_EQ(counted, written);
    EXPECT_EQ(std::string(out.begin(), out.end()), c.text);
  }
}

TEST(PPDXControl, InjectSubstitutesTheValue) {
  struct Case {
    const char* keyword;
    CNTL_TYPE type;
    std::string code;
    const char* value;
    std::string result;
  };
  const std::vector<Case> cases = {
      {"*KRCopies", kRangeControl, "<</NumCopies <*KRCopies>>>", "12", "<</NumCopies 12>>"},
      {"*KRCopies", kRangeControl, "<*KRCopies> <*KRCopies>", "3", "3 3"},
      {"*KRNote", kJobNoteControl, "(<*KRNote>) show", "A(B)", "<41284229> show"},
      {"*KRNote", kJobNoteControl, "<*KRNote>", "a\\b", "<615C62>"},
      {"*KRDSPassword", kJobNoteControl, "(<*KRDSPassword>)", "A(B)\\", "(A(B)\\\\)"},
      {"*KRNote", kJobNoteControl, "%%KRNote: <*KRNote>", "a\\b", "%%KRNote: a\\b"},
      {"*KRNote", kJobNoteControl, "(<*KRNote>)", "", "()"},
      {"*KRName", kRangeControl, "(<*KRName>)", "Caf\xC3\xA9", "(Caf\x8E)"},  // to Mac Roman
  };
  for (const auto& c : cases) {
    TestControl control(c.keyword, {}, nullptr, nullptr, c.type);
    unsigned char* out = nullptr;
    const long n = control.Inject(c.keyword, reinterpret_cast<const unsigned char*>(c.code.data()),
                                  static_cast<long>(c.code.size()), c.value, out);
    ASSERT_NE(out, nullptr) << c.code;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), n), c.result) << c.code;
    EXPECT_EQ(out[n], '\0');
    std::free(out);
  }
  TestControl control("*K", {});
  unsigned char* out = reinterpret_cast<unsigned char*>(1);
  EXPECT_EQ(control.Inject("*K", nullptr, 0, "v", out), 0);
  EXPECT_EQ(out, nullptr);
}

TEST(PPDXControl, ReplaceWithBackslash) {
  struct Case {
    const char* token;
    const char* text;
    const char* result;
  };
  const std::vector<Case> cases = {
      {"(", "a(b(c", "a\\050b\\050c"},
      {")", "a)b", "a\\051b"},
      {"(", "none", "none"},
  };
  for (const auto& c : cases) {
    char* text = strdup(c.text);
    char* result = replaceWithBackslashIfNeeded(c.token, text);
    EXPECT_STREQ(result, c.result);
    std::free(result);
  }
}

TEST(PPDXErrors, ListAndCursor) {
  PPDXErrors errors;
  EXPECT_EQ(errors.First(), nullptr);
  auto* first = new PPDXErrorObj(PPDErr_NoParent, CString("*Duplex"), false);
  auto* second = new PPDXErrorObj(PPDErr_NotPPDFile, true);
  errors.Add(first);
  errors.Add(second);
  errors.Add(first);  // already there: listed once
  EXPECT_EQ(errors.Count(), 2u);
  EXPECT_EQ(errors.First(), first);
  EXPECT_EQ(errors.Next(), second);
  EXPECT_EQ(errors.Next(), nullptr);
  EXPECT_STREQ(GetErrorKeyword(first), "*Duplex");
  EXPECT_EQ(GetErrorKeyword(second), nullptr);
  EXPECT_EQ(GetErrorDescription(first), nullptr);
  EXPECT_TRUE(IsErrorFatal(second));
  EXPECT_STREQ(PPDErrName(PPDErr_NotPPDFile), "PPDErr_NotPPDFile");
  EXPECT_EQ(PPDErrName(2), nullptr);

  EXPECT_TRUE(ErrorListIsEmpty(nullptr));
  EXPECT_EQ(ErrorCount(nullptr), 0);
  EXPECT_EQ(FirstError(nullptr), nullptr);
  EXPECT_FALSE(IsErrorFatal(nullptr));
}

TEST(PPDXElementList, AnElementHasOneOwningListAndIsFoundByKeyword) {
  // A second owning list would delete the control a second time.
  auto* control = new TestControl("*Duplex", {});
  PPDXControls owner;
  PPDXControls other_owner;
  PPDXControls borrower(/*ownsControls=*/false);
  ASSERT_TRUE(owner.Add(control));
  EXPECT_FALSE(other_owner.Add(control));
  EXPECT_TRUE(borrower.Add(control));

  // Many keywords, some twice: the first of a keyword is found, in list order.
  std::vector<std::string> keywords;
  for (int i = 0; i < 300; ++i) keywords.push_back("*K" + std::to_string(i % 200));
  for (const std::string& keyword : keywords) owner.Add(new TestControl(keyword.c_str(), {}));
  Globals().displayOptions = kDisplayOrphans | kDisplayHidden;  // the test's controls are orphans
  for (int i : {0, 57, 199}) {
    const std::string keyword = "*K" + std::to_string(i);
    CNTL_TYPE type;
    PPDXControl* found = owner.Find(keyword.c_str(), type, true);
    ASSERT_NE(found, nullptr) << keyword;
    EXPECT_STREQ(found->Keyword(), keyword.c_str());
    // The first of the two made with this keyword: the 1st ... 200th control after *Duplex.
    size_t position = 0;
    for (PPDXControl* c = owner.First(type); c != nullptr && c != found; c = owner.Next(type)) {
      ++position;
    }
    EXPECT_EQ(position, static_cast<size_t>(i) + 1) << keyword;
  }
  CNTL_TYPE type;
  EXPECT_EQ(owner.Find("*K200", type, true), nullptr);
  EXPECT_EQ(owner.Find(nullptr, type, true), nullptr);
  ResetProcessGlobals();
}
