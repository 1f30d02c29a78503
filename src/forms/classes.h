// Object model: root object, persistent (assignable) objects, and components
// with an owner that frees them and keeps them in creation order.
#pragma once

#include <string>
#include <vector>

#include "sysutils.h"

class TObject {
 public:
  virtual ~TObject() = default;
  // Runs before the destructor while the whole object still exists (forms fire
  // OnDestroy here). Free() calls it; destroying through Free is the rule.
  virtual void BeforeDestruction() {}
  // Class name for messages ("TAbLED"); descendants that need it override.
  virtual std::string ClassName() const { return "TObject"; }
};

// BeforeDestruction, then delete; safe on null.
void Free(TObject* object);
template <class T>
void FreeAndNil(T*& object) {
  T* p = object;
  object = nullptr;
  Free(p);
}

class TPersistent : public TObject {
 public:
  // Default: "Cannot assign a <source> to a <target>" (EConvertError).
  virtual void Assign(const TPersistent& source);
  std::string ClassName() const override { return "TPersistent"; }
};

// Invalid or duplicate component name.
class EComponentError : public Exception {
 public:
  using Exception::Exception;
};

enum TComponentStateFlag : unsigned {
  csLoading = 1u << 0,
  csReading = 1u << 1,
  csWriting = 1u << 2,
  csDestroying = 1u << 3,
  csDesigning = 1u << 4,
};

enum class TOperation { opInsert, opRemove };
using enum TOperation;

// A component frees the components it owns (last created first) and keeps
// them in creation order in Components().
class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  void BeforeDestruction() override;  // sets csDestroying; tells free-notified components

  TComponent* Owner() const { return Owner_; }
  const std::vector<TComponent*>& Components() const { return Components_; }
  int ComponentCount() const { return int(Components_.size()); }
  TComponent* FindComponent(const std::string& name) const;

  const std::string& Name() const { return Name_; }
  virtual void SetName(const std::string& name);
  long Tag() const { return Tag_; }
  void SetTag(long v) { Tag_ = v; }

  unsigned ComponentState() const { return State_; }
  bool IsLoading() const { return (State_ & csLoading) != 0; }
  bool IsDesigning() const { return (State_ & csDesigning) != 0; }
  bool IsDestroying() const { return (State_ & csDestroying) != 0; }

  // Loading protocol: a form builds its stored layout between BeginLoading()
  // and EndLoading(); EndLoading clears csLoading and calls Loaded() on the
  // component and every owned component, in creation order.
  void BeginLoading();
  void EndLoading();

  // Asks `other` to be told (Notification opRemove) when this component goes,
  // and vice versa.
  void FreeNotification(TComponent* other);
  void RemoveFreeNotification(TComponent* other);

  std::string ClassName() const override { return "TComponent"; }

 protected:
  // Base: clears csLoading.
  virtual void Loaded();
  // Base: forgets a removed component's free notification and passes the
  // notification on to every owned component.
  virtual void Notification(TComponent* component, TOperation operation);
  void SetDesigning(bool v);
  // Frees the owned components, last created first. The destructor does it
  // too; a descendant whose components use its own members calls it earlier.
  void DestroyComponents();

 private:
  void InsertComponent(TComponent* c);
  void RemoveComponent(TComponent* c);
  void Destroying();

  TComponent* Owner_ = nullptr;
  std::vector<TComponent*> Components_;
  std::vector<TComponent*> FreeNotifies_;
  std::string Name_;
  long Tag_ = 0;
  unsigned State_ = 0;
};
