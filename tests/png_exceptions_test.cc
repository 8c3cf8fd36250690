#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "png/exceptions.h"
#include "png/messages.h"

namespace png {
namespace {

struct ExceptionCase {
  std::function<void()> raise;
  std::string class_name;
  std::string text;
};

// The texts as users see them, typed out here independently of the message module.
TEST(PngExceptions, EachClassCarriesItsFixedTextAndStandsAlone) {
  const std::vector<ExceptionCase> cases = {
      {[] { RaisePngError<EPngError>(kChunkNotCompatible); }, "EPngError",
       "The chunks must be compatible to be assigned."},
      {[] { RaisePngError<EPngError>(kCannotResize); }, "EPngError",
       "The \"Portable Network Graphics\" image can not be resize by changing width and height "
       "properties. Try assigning the image from a bitmap."},
      {[] { RaisePngError<EPngError>(kNoSuchPaletteEntry); }, "EPngError",
       "There is no such palette entry."},
      {[] { RaisePngError<EPNGOutMemory>(kOutOfResources); }, "EPNGOutMemory",
       "Some operation could not be performed because the system is out of resources. Close "
       "some windows and try again."},
      {[] { RaisePngError<EPngUnexpectedEnd>(kUnexpectedEnd); }, "EPngUnexpectedEnd",
       "This \"Portable Network Graphics\" image is invalid because the decoder found an "
       "unexpected end of the file."},
      {[] { RaisePngError<EPngInvalidCRC>(kInvalidCrc); }, "EPngInvalidCRC",
       "This \"Portable Network Graphics\" image is not valid because it contains invalid "
       "pieces of data (crc error)"},
      {[] { RaisePngError<EPngInvalidIHDR>(kInvalidIhdr); }, "EPngInvalidIHDR",
       "The \"Portable Network Graphics\" image could not be loaded because one of its main "
       "piece of data (ihdr) might be corrupted"},
      {[] { RaisePngError<EPNGMissingMultipleIDAT>(kMissingMultipleIdat); },
       "EPNGMissingMultipleIDAT",
       "This \"Portable Network Graphics\" image is invalid because it has missing image "
       "parts."},
      {[] { RaisePngError<EPNGZLIBError>(kZlibError); }, "EPNGZLIBError",
       "Could not decompress the image because it contains invalid compressed data.\r\n "
       "Description: "},
      {[] { RaisePngError<EPNGInvalidPalette>(kInvalidPalette); }, "EPNGInvalidPalette",
       "The \"Portable Network Graphics\" image contains an invalid palette."},
      {[] { RaisePngError<EPNGInvalidFileHeader>(kInvalidFileHeader); }, "EPNGInvalidFileHeader",
       "The file being readed is not a valid \"Portable Network Graphics\" image because it "
       "contains an invalid header. This file may be corruped, try obtaining it again."},
      {[] { RaisePngError<EPNGIHDRNotFirst>(kIhdrNotFirst); }, "EPNGIHDRNotFirst",
       "This \"Portable Network Graphics\" image is not supported or it might be invalid.\r\n"
       "(IHDR chunk is not the first)"},
      {[] { RaisePngError<EPNGSizeExceeds>(kSizeExceeds); }, "EPNGSizeExceeds",
       "This \"Portable Network Graphics\" image is not supported because either it's width or "
       "height exceeds the maximum size, which is 65535 pixels length."},
      {[] { RaisePngError<EPNGUnknownCriticalChunk>(kUnknownCriticalChunk); },
       "EPNGUnknownCriticalChunk",
       "This \"Portable Network Graphics\" image contains an unknown critical part which could "
       "not be decoded."},
      {[] { RaisePngError<EPNGUnknownCompression>(kUnknownCompression); }, "EPNGUnknownCompression",
       "This \"Portable Network Graphics\" image is encoded with an unknown compression scheme "
       "which could not be decoded."},
      {[] { RaisePngError<EPNGUnknownInterlace>(kUnknownInterlace); }, "EPNGUnknownInterlace",
       "This \"Portable Network Graphics\" image uses an unknown interlace scheme which could "
       "not be decoded."},
      {[] { RaisePngError<EPNGNoImageData>(kNoImageData); }, "EPNGNoImageData",
       "This \"Portable Network Graphics\" image contains no data."},
      {[] { RaisePngError<EPNGHeaderNotPresent>(kHeaderNotPresent); }, "EPNGHeaderNotPresent",
       "This operation is not valid because the current image contains no valid header."},
  };
  for (const ExceptionCase& c : cases) {
    try {
      c.raise();
      ADD_FAILURE() << c.class_name << " was not raised";
    } catch (const platform::Exception& e) {
      EXPECT_EQ(e.ClassName(), c.class_name);
      EXPECT_EQ(e.Message(), c.text) << c.class_name;
      // Only EPngError itself is an EPngError: the classes are independent of each other.
      EXPECT_EQ(dynamic_cast<const EPngError*>(&e) != nullptr, c.class_name == "EPngError");
    }
  }
}

}  // namespace
}  // namespace png
