#include "png/module.h"

#include "platform/picture_registry.h"
#include "png/chunk.h"
#include "png/png_object.h"

namespace png {

void ModuleStartup() {
  ReleaseChunkRegistry();
  RegisterStandardChunks();
  platform::RegisterFileFormat("PNG", "Portable Network Graphics", TPNGObject::kClassName,
                               &TPNGObject::Create);
}

void ModuleShutdown() {
  platform::UnregisterFileFormat(TPNGObject::kClassName);
  ReleaseChunkRegistry();
}

}  // namespace png
