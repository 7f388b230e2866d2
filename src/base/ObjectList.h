#pragma once
// TObject: root of the classes that live in owning lists. TObjectList: a TList of
// TObject addresses which, while OwnsObjects is on (the default), releases the object of
// every entry that is deleted, dropped by a smaller count, or still present when the
// list is destroyed. Extracting hands an object back without releasing it.

#include <memory>

#include "base/List.h"

namespace fbu {

class TObject {
public:
  virtual ~TObject() = default;
};

class TObjectList : public TList {
public:
  TObjectList() = default;
  explicit TObjectList(bool ownsObjects) : ownsObjects_(ownsObjects) {}
  ~TObjectList() override { Clear(); }

  bool OwnsObjects() const noexcept { return ownsObjects_; }
  void SetOwnsObjects(bool value) noexcept { ownsObjects_ = value; }

  // Adds an object the list takes over (when it owns its objects).
  int Add(std::unique_ptr<TObject> object) { return AddObject(object.release()); }
  int AddObject(TObject* object) { return TList::Add(ToSlot(object)); }
  void InsertObject(int index, TObject* object) { TList::Insert(index, ToSlot(object)); }
  TObject* Items(int index) const { return FromSlot(Get(index)); }
  void SetItems(int index, TObject* object) { Put(index, ToSlot(object)); }
  int IndexOfObject(const TObject* object) const { return IndexOf(ToSlot(object)); }
  int RemoveObject(TObject* object) { return Remove(ToSlot(object)); }
  // Takes the object out without releasing it; the caller owns it afterwards.
  std::unique_ptr<TObject> ExtractObject(TObject* object);

  static TPointer ToSlot(const TObject* object) noexcept { return reinterpret_cast<TPointer>(object); }
  static TObject* FromSlot(TPointer slot) noexcept { return reinterpret_cast<TObject*>(slot); }

protected:
  void Notify(TPointer item, TListNotification action) override;

private:
  bool ownsObjects_ = true;
};

} // namespace fbu
