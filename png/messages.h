// The message texts of the PNG exceptions, exactly as the codec reports them.
#pragma once

#include <string_view>

namespace png {

inline constexpr std::string_view kChunkNotCompatible =
    "The chunks must be compatible to be assigned.";
inline constexpr std::string_view kCannotResize =
    "The \"Portable Network Graphics\" image can not be resize by changing width and height "
    "properties. Try assigning the image from a bitmap.";
inline constexpr std::string_view kNoSuchPaletteEntry = "There is no such palette entry.";
inline constexpr std::string_view kOutOfResources =
    "Some operation could not be performed because the system is out of resources. Close some "
    "windows and try again.";
inline constexpr std::string_view kUnexpectedEnd =
    "This \"Portable Network Graphics\" image is invalid because the decoder found an "
    "unexpected end of the file.";
inline constexpr std::string_view kInvalidCrc =
    "This \"Portable Network Graphics\" image is not valid because it contains invalid pieces "
    "of data (crc error)";
inline constexpr std::string_view kInvalidIhdr =
    "The \"Portable Network Graphics\" image could not be loaded because one of its main piece "
    "of data (ihdr) might be corrupted";
inline constexpr std::string_view kMissingMultipleIdat =
    "This \"Portable Network Graphics\" image is invalid because it has missing image parts.";
inline constexpr std::string_view kZlibError =
    "Could not decompress the image because it contains invalid compressed data.\r\n "
    "Description: ";
inline constexpr std::string_view kInvalidPalette =
    "The \"Portable Network Graphics\" image contains an invalid palette.";
inline constexpr std::string_view kInvalidFileHeader =
    "The file being readed is not a valid \"Portable Network Graphics\" image because it "
    "contains an invalid header. This file may be corruped, try obtaining it again.";
inline constexpr std::string_view kIhdrNotFirst =
    "This \"Portable Network Graphics\" image is not supported or it might be invalid.\r\n"
    "(IHDR chunk is not the first)";
inline constexpr std::string_view kSizeExceeds =
    "This \"Portable Network Graphics\" image is not supported because either it's width or "
    "height exceeds the maximum size, which is 65535 pixels length.";
inline constexpr std::string_view kUnknownCriticalChunk =
    "This \"Portable Network Graphics\" image contains an unknown critical part which could "
    "not be decoded.";
inline constexpr std::string_view kUnknownCompression =
    "This \"Portable Network Graphics\" image is encoded with an unknown compression scheme "
    "which could not be decoded.";
inline constexpr std::string_view kUnknownInterlace =
    "This \"Portable Network Graphics\" image uses an unknown interlace scheme which could not "
    "be decoded.";
inline constexpr std::string_view kNoImageData =
    "This \"Portable Network Graphics\" image contains no data.";
inline constexpr std::string_view kHeaderNotPresent =
    "This operation is not valid because the current image contains no valid header.";

}  // namespace png
