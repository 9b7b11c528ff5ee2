#include "foundation/PtrLinkList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Log.h"

namespace {

// Counts its deletions so that a test can see the list delete each element once.
class Element : public LinkElement_Dual {
 public:
  Element(int id, std::vector<int>* deleted) : id_(id), deleted_(deleted) {}
  ~Element() override { deleted_->push_back(id_); }
  int id() const { return id_; }

 private:
  int id_;
  std::vector<int>* deleted_;
};

int Id(LinkElement_Dual* e) { return e == nullptr ? -1 : static_cast<Element*>(e)->id(); }

}  // namespace

TEST(PtrLinkList, OwnsAndDeletesEveryElementOnce) {
  std::vector<int> deleted;
  {
    auto* first = new Element(0, &deleted);
    PtrLinkList list(first);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.add(new Element(1, &deleted)), 1);
    auto* last = new Element(2, &deleted);
    EXPECT_EQ(list.add(last), 1);
    EXPECT_EQ(list.add(nullptr), 0);
    // Adding an element twice would link it twice and delete it twice.
    EXPECT_EQ(list.add(last), 0);
    EXPECT_EQ(list.add(first), 0);
    EXPECT_EQ(list.Count(), 3);
  }
  EXPECT_EQ(deleted, (std::vector<int>{0, 1, 2}));
}

TEST(PtrLinkList, IndexCountsFromZero) {
  std::vector<int> deleted;
  PtrLinkList list;
  EXPECT_EQ(list.index(0), nullptr);
  for (int id = 10; id < 13; ++id) list.add(new Element(id, &deleted));
  struct Case {
    unsigned short n;
    int id;
  };
  for (const Case& c : {Case{0, 10}, Case{1, 11}, Case{2, 12}, Case{3, -1}, Case{65535, -1}}) {
    EXPECT_EQ(Id(list.index(c.n)), c.id) << "n = " << c.n;
  }
}

TEST(PtrLinkList, IteratorWalksBothWaysAndStaysNullAtTheEnds) {
  std::vector<int> deleted;
  PtrLinkList list;
  EXPECT_EQ(*LinkElementDualIterator(list), nullptr);
  for (int id = 0; id < 3; ++id) list.add(new Element(id, &deleted));

  LinkElementDualIterator it(list);
  std::vector<int> forward;
  for (; *it != nullptr; ++it) forward.push_back(Id(*it));
  EXPECT_EQ(forward, (std::vector<int>{0, 1, 2}));
  ++it;
  EXPECT_EQ(*it, nullptr);

  LinkElementDualIterator back(list);
  ++back;
  ++back;
  EXPECT_EQ(Id(back.Current()), 2);
  --back;
  --back;
  EXPECT_EQ(Id(*back), 0);
  --back;
  EXPECT_EQ(*back, nullptr);
  --back;
  EXPECT_EQ(*back, nullptr);
}

TEST(PtrLinkList, DumpLogsEveryElement) {
  std::vector<std::string> lines;
  quill::LogSink previous = quill::SetLogSink([&](std::string_view m) { lines.emplace_back(m); });
  std::vector<int> deleted;
  PtrLinkList list;
  list.add(new Element(0, &deleted));
  list.add(new Element(1, &deleted));
  list.dumpEntireList("groups");
  quill::SetLogSink(previous);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind("PtrLinkList::dumpEntireList groups: 2 elements", 0), 0u);
}
