#include <gtest/gtest.h>

#include "platform/picture_registry.h"
#include "png/chunk_gama.h"
#include "png/chunk_ihdr.h"
#include "png/messages.h"
#include "png/png_object.h"
#include "tests/exception_matchers.h"
#include "tests/png_fixtures.h"
#include "tests/png_test_support.h"

namespace png {
namespace {

using tests::Bytes;
using tests::RaisedClass;

TEST(PngObject, NewObjectIsEmptyWithDefaultSettings) {
  TPNGObject image;
  EXPECT_TRUE(image.Empty());
  EXPECT_EQ(image.Width(), 0);
  EXPECT_EQ(image.Height(), 0);
  EXPECT_FALSE(image.HasImageHeader());
  EXPECT_EQ(RaisedClass([&] { image.ImageHeader(); }), "EPNGHeaderNotPresent");
  EXPECT_EQ(image.FilterSet(), FilterBit(kFilterSub));
  EXPECT_EQ(image.CompressionLevel(), 7);
  EXPECT_EQ(image.IdatSizeLimit(), 65535u);
  EXPECT_EQ(image.Interlacing(), 0);
}

TEST(PngObject, SizeSettersRaiseAndChangeNothing) {
  auto image = tests::LoadPng(tests::OnePixelStart().Idat({0, 200}).Iend().Data());
  EXPECT_EQ(tests::RaisedMessage([&] { image->SetWidth(5); }), kCannotResize);
  EXPECT_EQ(RaisedClass([&] { image->SetHeight(5); }), "EPngError");
  EXPECT_EQ(image->Width(), 1);
  EXPECT_EQ(image->Height(), 1);
}

TEST(PngObject, IdatSizeLimitNeverFallsBelowTheMinimum) {
  const std::pair<uint32_t, uint32_t> cases[] = {
      {0, 65535}, {1000, 65535}, {65535, 65535}, {65536, 65536}, {100000, 100000}};
  for (const auto& [value, stored] : cases) {
    TPNGObject image;
    image.SetIdatSizeLimit(value);
    EXPECT_EQ(image.IdatSizeLimit(), stored) << value;
  }
}

TEST(PngPointerList, ItemAccessOutsideTheListIsHarmless) {
  TPNGPointerList list(nullptr);
  int a = 0;
  int b = 0;
  list.Append(&a);
  list.Append(&b);
  list.Append(&a);
  EXPECT_EQ(list.ItemAt(-1), nullptr);
  EXPECT_EQ(list.ItemAt(3), nullptr);
  list.PutItemAt(3, &b);
  EXPECT_EQ(list.ItemCount(), 3);
  // The later of two occurrences goes; the earlier stays in place.
  EXPECT_EQ(list.Extract(&a), &a);
  ASSERT_EQ(list.ItemCount(), 2);
  EXPECT_EQ(list.ItemAt(0), &a);
  EXPECT_EQ(list.ItemAt(1), &b);
  int absent = 0;
  EXPECT_EQ(list.Extract(&absent), nullptr);
  EXPECT_EQ(list.ItemCount(), 2);
}

TEST(PngObject, CopyTakesSettingsAndChunksOfTheSameClasses) {
  auto source = tests::LoadPng(tests::OnePixelStart()
                                   .Chunk("gAMA", tests::Be32(45455))
                                   .Chunk("prVt", {1, 2, 3})
                                   .Idat({0, 200})
                                   .Iend()
                                   .Data());
  source->SetCompressionLevel(9);
  source->SetFilterSet(0x1F);
  source->SetIdatSizeLimit(100000);
  source->SetInterlacing(1);

  auto target = tests::LoadPng(tests::OnePixelStart().Idat({0, 7}).Iend().Data());
  target->Assign(*source);
  EXPECT_EQ(target->CompressionLevel(), 9);
  EXPECT_EQ(target->FilterSet(), 0x1F);
  EXPECT_EQ(target->IdatSizeLimit(), 100000u);
  EXPECT_EQ(target->Interlacing(), 1);
  ASSERT_EQ(target->Chunks.ItemCount(), source->Chunks.ItemCount());
  for (int32_t i = 0; i < source->Chunks.ItemCount(); ++i) {
    EXPECT_EQ(target->Chunks.ChunkAt(i)->ClassName(), source->Chunks.ChunkAt(i)->ClassName());
    EXPECT_EQ(target->Chunks.ChunkAt(i)->OwnerImage, target.get());
  }
  EXPECT_EQ(target->Chunks.ChunkAt(2)->Payload[1], 2);  // the private chunk's data
  EXPECT_EQ(target->ImageHeader().Width, 1u);
}

class UnrelatedGraphic final : public platform::TGraphic {
 public:
  std::string_view ClassName() const override { return "TUnrelated"; }
  void Draw(platform::TCanvas&, const platform::TRect&) override {}
  bool Empty() const override { return true; }
  int Height() const override { return 0; }
  int Width() const override { return 0; }
  void SetHeight(int) override {}
  void SetWidth(int) override {}
  void LoadFromStream(platform::TStream&) override {}
  void SaveToStream(platform::TStream&) override {}
  void LoadFromClipboardFormat(uint16_t&, platform::HBITMAP&, platform::HPALETTE&) override {}
  void SaveToClipboardFormat(uint16_t&, platform::HBITMAP&, platform::HPALETTE&) override {}
};

TEST(PngObject, AssignFromAnotherKindOfGraphicIsAConversionError) {
  TPNGObject image;
  UnrelatedGraphic other;
  EXPECT_EQ(RaisedClass([&] { image.Assign(other); }), "EConvertError");
  EXPECT_EQ(RaisedClass([&] { image.AssignTo(other); }), "EConvertError");
}

TEST(PngObject, FailedLoadKeepsItsChunksAndTheNextLoadStartsClean) {
  const Bytes broken = tests::OnePixelStart()
                           .Chunk("prVt", {1})
                           .BadCrcChunk("tEXt", {'a', 0, 'b'})
                           .Idat({0, 1})
                           .Iend()
                           .Data();
  TPNGObject image;
  platform::TMemoryStream stream(broken);
  EXPECT_EQ(RaisedClass([&] { image.LoadFromStream(stream); }), "EPngInvalidCRC");
  EXPECT_EQ(image.Chunks.ItemCount(), 3);

  platform::TMemoryStream good(tests::OnePixelStart().Idat({0, 1}).Iend().Data());
  image.LoadFromStream(good);
  EXPECT_EQ(image.Chunks.ItemCount(), 3);  // IHDR, IDAT, IEND
}

TEST(PngObject, GammaTablesAreZeroUntilTheFirstClearThenIdentity) {
  TPNGObject image;
  EXPECT_EQ(image.DecodeGammaTable[200], 0);
  image.DiscardChunks();
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(image.DecodeGammaTable[i], i);
    EXPECT_EQ(image.EncodeGammaTable[i], i);
  }
}

TEST(PngObject, RegistersThePictureFormat) {
  const platform::GraphicFileFormat* format = platform::FindFileFormat("png");
  ASSERT_NE(format, nullptr);
  EXPECT_EQ(format->extension, "PNG");
  EXPECT_EQ(format->description, "Portable Network Graphics");
  auto graphic = format->make();
  EXPECT_EQ(graphic->ClassName(), "TPNGObject");
}

}  // namespace
}  // namespace png
