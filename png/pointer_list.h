// The growable pointer list and the image's chunk list built on it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "png/chunk.h"

namespace png {

class TPNGObject;

// A growable array of untyped pointers; it never owns its items.
class TPNGPointerList {
 public:
  explicit TPNGPointerList(TPNGObject* owner) : owner_(owner) {}
  virtual ~TPNGPointerList() = default;

  TPNGObject* OwnerImage() const { return owner_; }
  int32_t ItemCount() const { return static_cast<int32_t>(slots_.size()); }
  // The slot's content; none outside 0 to ItemCount - 1.
  void* ItemAt(int32_t index) const;
  // Stores the item; does nothing outside 0 to ItemCount - 1.
  void PutItemAt(int32_t index, void* item);
  // Keeps the leading slots; new slots hold none.
  void Resize(int32_t count);
  void Append(void* item);
  // Removes the last slot holding item and returns item; none when no slot holds it.
  virtual void* Extract(void* item);

 private:
  TPNGObject* owner_;
  std::vector<void*> slots_;
};

// The image's chunks in file order. The list owns every chunk it adopts and frees them, from
// the first upwards, in FreeChunks.
class TPNGList final : public TPNGPointerList {
 public:
  using TPNGPointerList::TPNGPointerList;
  ~TPNGList() override { FreeChunks(); }

  TChunk* ChunkAt(int32_t index) const { return static_cast<TChunk*>(ItemAt(index)); }
  // The first chunk of class T or derived from it; none when there is none.
  template <typename T>
  T* FirstChunkOfClass() const {
    for (int32_t i = 0; i < ItemCount(); ++i) {
      if (auto* chunk = dynamic_cast<T*>(ChunkAt(i))) return chunk;
    }
    return nullptr;
  }
  // Appends a chunk and takes it over.
  TChunk* Adopt(std::unique_ptr<TChunk> chunk);
  // Frees every chunk and leaves the list without items.
  void FreeChunks();

 private:
  std::vector<std::unique_ptr<TChunk>> owned_;
};

}  // namespace png
