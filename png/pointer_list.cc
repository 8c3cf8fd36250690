#include "png/pointer_list.h"

#include <algorithm>

namespace png {

void* TPNGPointerList::ItemAt(int32_t index) const {
  return index >= 0 && index < ItemCount() ? slots_[static_cast<size_t>(index)] : nullptr;
}

void TPNGPointerList::PutItemAt(int32_t index, void* item) {
  if (index >= 0 && index < ItemCount()) slots_[static_cast<size_t>(index)] = item;
}

void TPNGPointerList::Resize(int32_t count) {
  slots_.resize(static_cast<size_t>(std::max(count, 0)));
}

void TPNGPointerList::Append(void* item) {
  Resize(ItemCount() + 1);
  PutItemAt(ItemCount() - 1, item);
}

void* TPNGPointerList::Extract(void* item) {
  const auto last = std::find(slots_.rbegin(), slots_.rend(), item);
  if (last == slots_.rend()) return nullptr;
  slots_.erase(std::next(last).base());
  return item;
}

TChunk* TPNGList::Adopt(std::unique_ptr<TChunk> chunk) {
  TChunk* item = chunk.get();
  owned_.push_back(std::move(chunk));
  Append(item);
  return item;
}

void TPNGList::FreeChunks() {
  Resize(0);
  // In list order, from the first chunk upwards.
  for (auto& chunk : owned_)
    chunk.reset();
  owned_.clear();
}

}  // namespace png
