#include "classes.h"

#include <algorithm>
#include <cctype>

namespace {

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

bool IsValidIdent(const std::string& s) {
  if (s.empty()) return false;
  auto alpha = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; };
  if (!alpha(s[0])) return false;
  return std::all_of(s.begin() + 1, s.end(),
                     [&](char c) { return alpha(c) || std::isdigit(static_cast<unsigned char>(c)); });
}

void Erase(std::vector<TComponent*>& list, TComponent* c) {
  list.erase(std::remove(list.begin(), list.end(), c), list.end());
}

}  // namespace

void Free(TObject* object) {
  if (object == nullptr) return;
  object->BeforeDestruction();
  delete object;
}

void TPersistent::Assign(const TPersistent& source) {
  throw EConvertError("Cannot assign a " + source.ClassName() + " to a " + ClassName());
}

TComponent::TComponent(TComponent* owner) {
  if (owner != nullptr) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  DestroyComponents();
  if (Owner_ != nullptr) Owner_->RemoveComponent(this);
}

void TComponent::BeforeDestruction() { Destroying(); }

// Idempotent: runs from BeforeDestruction and again from the destructor for
// components deleted without Free.
void TComponent::Destroying() {
  State_ |= csDestroying;
  while (!FreeNotifies_.empty()) {
    TComponent* other = FreeNotifies_.back();
    FreeNotifies_.pop_back();
    Erase(other->FreeNotifies_, this);
    other->Notification(this, opRemove);
  }
}

void TComponent::DestroyComponents() {
  while (!Components_.empty()) {
    TComponent* c = Components_.back();
    Components_.pop_back();
    c->Owner_ = nullptr;
    Free(c);
  }
}

void TComponent::InsertComponent(TComponent* c) {
  if (!c->Name_.empty() && FindComponent(c->Name_) != nullptr)
    throw EComponentError("A component named " + c->Name_ + " already exists");
  Components_.push_back(c);
  c->Owner_ = this;
  if (IsLoading()) c->State_ |= csLoading;
  if (IsDesigning()) c->State_ |= csDesigning;
  Notification(c, opInsert);
}

void TComponent::RemoveComponent(TComponent* c) {
  Notification(c, opRemove);
  Erase(Components_, c);
  c->Owner_ = nullptr;
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : Components_)
    if (SameText(c->Name_, name)) return c;
  return nullptr;
}

void TComponent::SetName(const std::string& name) {
  if (name == Name_) return;
  if (!name.empty() && !IsValidIdent(name))
    throw EComponentError("'" + name + "' is not a valid component name");
  if (Owner_ != nullptr && !name.empty()) {
    TComponent* other = Owner_->FindComponent(name);
    if (other != nullptr && other != this)
      throw EComponentError("A component named " + name + " already exists");
  }
  Name_ = name;
}

void TComponent::BeginLoading() {
  State_ |= csLoading;
  for (TComponent* c : Components_) c->State_ |= csLoading;
}

void TComponent::EndLoading() {
  State_ &= ~unsigned(csLoading);
  Loaded();
  // Copy: a Loaded handler may create or free components.
  const std::vector<TComponent*> list = Components_;
  for (TComponent* c : list) {
    if (std::find(Components_.begin(), Components_.end(), c) == Components_.end()) continue;
    c->State_ &= ~unsigned(csLoading);
    c->Loaded();
  }
}

void TComponent::Loaded() { State_ &= ~unsigned(csLoading); }

void TComponent::FreeNotification(TComponent* other) {
  if (other == nullptr || other == this) return;
  if (std::find(FreeNotifies_.begin(), FreeNotifies_.end(), other) == FreeNotifies_.end())
    FreeNotifies_.push_back(other);
  if (std::find(other->FreeNotifies_.begin(), other->FreeNotifies_.end(), this) == other->FreeNotifies_.end())
    other->FreeNotifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* other) {
  if (other == nullptr) return;
  Erase(FreeNotifies_, other);
  Erase(other->FreeNotifies_, this);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove && component != nullptr) RemoveFreeNotification(component);
  const std::vector<TComponent*> list = Components_;
  for (TComponent* c : list)
    if (c != component) c->Notification(component, operation);
}

void TComponent::SetDesigning(bool v) {
  if (v)
    State_ |= csDesigning;
  else
    State_ &= ~unsigned(csDesigning);
}
