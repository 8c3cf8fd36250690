#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/stream.h"
#include "png/chunk_text.h"
#include "png/chunk_time.h"
#include "png/png_object.h"
#include "tests/png_fixtures.h"
#include "tests/png_test_support.h"

namespace png {
namespace {

using namespace std::string_literals;
using tests::Bytes;

// A 1 x 1 image file with one extra chunk between header and image data.
Bytes FileWith(std::string_view type, const Bytes& data) {
  return tests::OnePixelStart()
      .Chunk(type, data)
      .Chunk("IDAT", tests::OnePixelImageData())
      .Iend()
      .Data();
}

// The data bytes that a chunk writes.
Bytes WrittenData(TChunk& chunk) {
  platform::TMemoryStream stream;
  EXPECT_TRUE(chunk.WriteChunk(stream));
  const Bytes written = stream.Bytes();
  if (written.size() < 12) return {};
  return Bytes(written.begin() + 8, written.end() - 4);
}

Bytes BytesOf(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

struct TextCase {
  const char* name;
  Bytes data;
  std::string keyword;
  std::string text;
  Bytes saved;
};

TEST(PngTextChunk, LoadsKeywordAndTextAndSavesThemBack) {
  const TextCase cases[] = {
      {"keyword and text", BytesOf("Title\0abc"s), "Title", "abc", BytesOf("Title\0abc"s)},
      {"two bytes", {'a', 0}, "", "", {0}},
      {"no zero byte", BytesOf("abcd"), "abcd", "", BytesOf("abcd\0"s)},
      {"keyword only", BytesOf("key\0"s), "key", "", BytesOf("key\0"s)},
      {"zero bytes in the text", BytesOf("k\0a\0b"s), "k", "a\0b"s, BytesOf("k\0a\0b"s)},
  };
  for (const TextCase& c : cases) {
    auto image = tests::LoadPng(FileWith("tEXt", c.data));
    auto* chunk = image->Chunks.FirstChunkOfClass<TChunktEXt>();
    ASSERT_NE(chunk, nullptr) << c.name;
    EXPECT_EQ(chunk->Keyword, c.keyword) << c.name;
    EXPECT_EQ(chunk->Text, c.text) << c.name;
    EXPECT_EQ(WrittenData(*chunk), c.saved) << c.name;
  }
}

TEST(PngTextChunk, SavesTheFieldsNotTheDataItWasLoadedWith) {
  auto image = tests::LoadPng(FileWith("tEXt", BytesOf("Title")));
  auto* chunk = image->Chunks.FirstChunkOfClass<TChunktEXt>();
  chunk->Keyword = "Author";
  chunk->Text = "me";
  EXPECT_EQ(WrittenData(*chunk), BytesOf(std::string("Author\0me", 9)));
}

struct TimeCase {
  const char* name;
  Bytes data;
  uint16_t year;
  uint8_t month, day, hour, minute, second;
  Bytes saved;
};

TEST(PngTimeChunk, LoadsSevenBytesAndSavesSevenBytes) {
  const Bytes time = {0x07, 0xD8, 0x05, 0x1F, 0x17, 0x3B, 0x3C};
  const TimeCase cases[] = {
      {"2008-05-31 23:59:60", time, 2008, 5, 31, 23, 59, 60, time},
      {"six bytes", {0x07, 0xD8, 0x05, 0x1F, 0x17, 0x3B}, 0, 0, 0, 0, 0, 0, Bytes(7, 0)},
      {"eight bytes", {0x07, 0xD8, 0x05, 0x1F, 0x17, 0x3B, 0x3C, 0}, 0, 0, 0, 0, 0, 0, Bytes(7, 0)},
  };
  for (const TimeCase& c : cases) {
    auto image = tests::LoadPng(FileWith("tIME", c.data));
    auto* chunk = image->Chunks.FirstChunkOfClass<TChunktIME>();
    ASSERT_NE(chunk, nullptr) << c.name;
    EXPECT_EQ(chunk->Year, c.year) << c.name;
    EXPECT_EQ(chunk->Month, c.month) << c.name;
    EXPECT_EQ(chunk->Day, c.day) << c.name;
    EXPECT_EQ(chunk->Hour, c.hour) << c.name;
    EXPECT_EQ(chunk->Minute, c.minute) << c.name;
    EXPECT_EQ(chunk->Second, c.second) << c.name;
    EXPECT_EQ(WrittenData(*chunk), c.saved) << c.name;
  }
}

TEST(PngTextTimeCopy, CopiedImageWritesTheSameTimeAndText) {
  const Bytes file = tests::OnePixelStart()
                         .Chunk("tIME", {0x07, 0xD8, 0x05, 0x1F, 0x17, 0x3B, 0x3C})
                         .Chunk("tEXt", BytesOf("Title\0abc"s))
                         .Chunk("IDAT", tests::OnePixelImageData())
                         .Iend()
                         .Data();
  auto source = tests::LoadPng(file);
  TPNGObject copy;
  copy.Assign(*source);
  source.reset();

  auto* time = copy.Chunks.FirstChunkOfClass<TChunktIME>();
  ASSERT_NE(time, nullptr);
  EXPECT_EQ(WrittenData(*time), (Bytes{0x07, 0xD8, 0x05, 0x1F, 0x17, 0x3B, 0x3C}));
  auto* text = copy.Chunks.FirstChunkOfClass<TChunktEXt>();
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->Keyword, "Title");
  EXPECT_EQ(text->Text, "abc");
}

std::unique_ptr<TPNGObject> LoadZtxt(const Bytes& data) {
  return tests::LoadPng(FileWith("zTXt", data));
}

struct CompressedLoadCase {
  const char* name;
  Bytes data;
  std::string keyword;
  std::string text;
};

TEST(PngCompressedText, LoadsTheTextThatDecompressesAndNothingElse) {
  const Bytes hello = tests::ZlibCompress(BytesOf("Hello\0zTXt"s));
  Bytes damaged = hello;
  damaged[4] ^= 0xFF;
  const CompressedLoadCase cases[] = {
      {"zlib", tests::Concat({BytesOf("Comment\0\0"s), hello}), "Comment", "Hello\0zTXt"s},
      {"method 1", tests::Concat({BytesOf("Comment\0\1"s), hello}), "Comment", ""},
      {"damaged stream", tests::Concat({BytesOf("Comment\0\0"s), damaged}), "Comment", ""},
      {"truncated stream",
       tests::Concat({BytesOf("Comment\0\0"s), Bytes(hello.begin(), hello.end() - 6)}), "Comment",
       ""},
      {"method byte and no data", BytesOf("ab\0\0"s), "ab", ""},
      {"no method byte", BytesOf("abc\0"s), "abc", ""},
      {"no zero byte", BytesOf("abcd"), "abcd", ""},
      // Three bytes keep what the plain text load found.
      {"three bytes", BytesOf("k\0v"s), "k", "v"},
      // A small chunk that would inflate beyond 16 MiB is not inflated.
      {"deflate bomb",
       tests::Concat({BytesOf("Comment\0\0"s), tests::ZlibCompress(Bytes((16 << 20) + 1, 0))}),
       "Comment", ""},
  };
  for (const CompressedLoadCase& c : cases) {
    auto image = LoadZtxt(c.data);
    auto* chunk = image->Chunks.FirstChunkOfClass<TChunkzTXt>();
    ASSERT_NE(chunk, nullptr) << c.name;
    EXPECT_EQ(chunk->Keyword, c.keyword) << c.name;
    EXPECT_EQ(chunk->Text, c.text) << c.name;
  }
}

TEST(PngCompressedText, SavesAtTheImageCompressionLevel) {
  const std::string text(300, 'x');
  for (const uint8_t level : {0, 9}) {
    auto image = LoadZtxt(tests::Concat({BytesOf("Comment\0\0"s), tests::ZlibCompress({})}));
    image->SetCompressionLevel(level);
    auto* chunk = image->Chunks.FirstChunkOfClass<TChunkzTXt>();
    chunk->Text = text;
    EXPECT_EQ(WrittenData(*chunk),
              tests::Concat({BytesOf("Comment\0\0"s), tests::ZlibCompress(BytesOf(text), level)}))
        << int{level};
  }
}

TEST(PngCompressedText, EmptyTextSavesAndKeepsOneSpace) {
  auto image = LoadZtxt(BytesOf("Comment\0\1"s));
  auto* chunk = image->Chunks.FirstChunkOfClass<TChunkzTXt>();
  ASSERT_EQ(chunk->Text, "");
  const Bytes saved = WrittenData(*chunk);
  EXPECT_EQ(chunk->Text, " ");
  EXPECT_EQ(saved, tests::Concat({BytesOf("Comment\0\0"s), tests::ZlibCompress(BytesOf(" "), 7)}));
}

TEST(PngCompressedText, CopyKeepsClassKeywordAndText) {
  auto source =
      LoadZtxt(tests::Concat({BytesOf("Comment\0\0"s), tests::ZlibCompress(BytesOf("Hello"))}));
  TPNGObject copy;
  copy.Assign(*source);
  auto* chunk = copy.Chunks.FirstChunkOfClass<TChunkzTXt>();
  ASSERT_NE(chunk, nullptr);
  EXPECT_EQ(chunk->Keyword, "Comment");
  EXPECT_EQ(chunk->Text, "Hello");
}

}  // namespace
}  // namespace png
