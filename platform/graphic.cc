#include "platform/graphic.h"

#include "platform/exception.h"
#include "platform/file_replace.h"

namespace platform {

void TPersistent::Assign(const TPersistent& source) {
  source.AssignTo(*this);
}

void TPersistent::AssignTo(TPersistent& dest) const {
  RaiseConvertError(ClassName(), dest.ClassName());
}

void TGraphic::LoadFromFile(const std::string& path) {
  TFileStream stream(path, TFileStream::Mode::kOpenRead);
  LoadFromStream(stream);
}

void TGraphic::SaveToFile(const std::string& path) {
  ReplaceFile(path, [this](TStream& stream) { SaveToStream(stream); });
}

}  // namespace platform
