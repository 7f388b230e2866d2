#include "base/ObjectList.h"

namespace fbu {

void TObjectList::Notify(TPointer item, TListNotification action)
{
  // The list is the single owner of its entries' objects while it owns them.
  if (ownsObjects_ && action == TListNotification::lnDeleted) std::unique_ptr<TObject>(FromSlot(item)).reset();
}

std::unique_ptr<TObject> TObjectList::ExtractObject(TObject* object)
{
  return std::unique_ptr<TObject>(FromSlot(Extract(ToSlot(object))));
}

} // namespace fbu
