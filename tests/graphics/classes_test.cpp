#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "classes.h"

namespace {

// Records what happens to it in a shared log.
class Probe : public TComponent {
 public:
  Probe(TComponent* owner, std::string id, std::vector<std::string>& log)
      : TComponent(owner), Id(std::move(id)), Log(log) {}
  ~Probe() override { Log.push_back("delete " + Id); }
  void BeforeDestruction() override {
    Log.push_back("before " + Id);
    TComponent::BeforeDestruction();
  }
  std::string ClassName() const override { return "TProbe"; }

  std::string Id;
  std::vector<std::string>& Log;
  std::vector<TComponent*> Removed;
  bool LoadingSeenInLoaded = true;

 protected:
  void Loaded() override {
    TComponent::Loaded();
    LoadingSeenInLoaded = IsLoading();
    Log.push_back("loaded " + Id);
  }
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == opRemove) Removed.push_back(c);
  }
};

class ComponentTest : public ::testing::Test {
 protected:
  std::vector<std::string> Log;
};

}  // namespace

TEST_F(ComponentTest, OwnerKeepsCreationOrderAndFreesLastFirst) {
  auto* owner = new Probe(nullptr, "owner", Log);
  auto* a = new Probe(owner, "a", Log);
  auto* b = new Probe(owner, "b", Log);
  auto* c = new Probe(owner, "c", Log);
  ASSERT_EQ(owner->ComponentCount(), 3);
  EXPECT_EQ(owner->Components(), (std::vector<TComponent*>{a, b, c}));
  EXPECT_EQ(b->Owner(), owner);
  Free(owner);
  // The owner's own destructor body runs first; its components go after it,
  // each through Free.
  EXPECT_EQ(Log, (std::vector<std::string>{"before owner", "delete owner", "before c", "delete c", "before b",
                                           "delete b", "before a", "delete a"}));
}

TEST_F(ComponentTest, FreedComponentLeavesItsOwner) {
  Probe owner(nullptr, "owner", Log);
  auto* a = new Probe(&owner, "a", Log);
  auto* b = new Probe(&owner, "b", Log);
  Free(a);
  EXPECT_EQ(owner.Components(), (std::vector<TComponent*>{b}));
  EXPECT_EQ(owner.Removed, (std::vector<TComponent*>{a}));
}

TEST_F(ComponentTest, FreeNotificationWorksBothWays) {
  auto* x = new Probe(nullptr, "x", Log);
  auto* y = new Probe(nullptr, "y", Log);
  auto* z = new Probe(nullptr, "z", Log);
  x->FreeNotification(y);
  x->FreeNotification(z);
  Free(y);
  EXPECT_EQ(x->Removed, (std::vector<TComponent*>{y}));
  Free(x);  // z hears about x; x no longer remembers y
  EXPECT_EQ(z->Removed, (std::vector<TComponent*>{x}));
  z->RemoveFreeNotification(nullptr);
  Free(z);
}

TEST_F(ComponentTest, RemovedFreeNotificationIsSilent) {
  Probe x(nullptr, "x", Log);
  auto* y = new Probe(nullptr, "y", Log);
  x.FreeNotification(y);
  x.RemoveFreeNotification(y);
  Free(y);
  EXPECT_TRUE(x.Removed.empty());
}

TEST_F(ComponentTest, EndLoadingCallsLoadedInCreationOrder) {
  Probe owner(nullptr, "owner", Log);
  owner.BeginLoading();
  auto* a = new Probe(&owner, "a", Log);
  auto* b = new Probe(&owner, "b", Log);
  EXPECT_TRUE(a->IsLoading());
  EXPECT_TRUE(b->IsLoading());
  owner.EndLoading();
  EXPECT_EQ(Log, (std::vector<std::string>{"loaded owner", "loaded a", "loaded b"}));
  EXPECT_FALSE(a->IsLoading());
  EXPECT_FALSE(owner.IsLoading());
  EXPECT_FALSE(b->LoadingSeenInLoaded);
}

TEST_F(ComponentTest, NamesAreCheckedAndFoundIgnoringCase) {
  Probe owner(nullptr, "owner", Log);
  auto* a = new Probe(&owner, "a", Log);
  a->SetName("AbLED1");
  EXPECT_EQ(owner.FindComponent("ableD1"), a);
  auto* b = new Probe(&owner, "b", Log);
  EXPECT_THROW(b->SetName("ABLED1"), EComponentError);
  EXPECT_THROW(b->SetName("1x"), EComponentError);
  EXPECT_EQ(b->Name(), "");
  b->SetTag(7);
  EXPECT_EQ(b->Tag(), 7);
}

TEST_F(ComponentTest, DefaultAssignReportsBothClasses) {
  Probe a(nullptr, "a", Log), b(nullptr, "b", Log);
  try {
    a.Assign(b);
    ADD_FAILURE() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TProbe to a TProbe");
  }
}

TEST_F(ComponentTest, DeletingWithoutFreeStillCleansUp) {
  auto* owner = new Probe(nullptr, "owner", Log);
  auto* watcher = new Probe(nullptr, "w", Log);
  auto* a = new Probe(owner, "a", Log);
  a->FreeNotification(watcher);
  delete owner;  // not through Free: owned components still go, watcher still hears
  EXPECT_EQ(watcher->Removed, (std::vector<TComponent*>{a}));
  Free(watcher);
}
