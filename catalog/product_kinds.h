// The kinds, types and bits that describe a product record: which registry values it has, what
// type of product it is, which engines its content is for, which of its files are meant, and
// which of its paths are missing. Each is an enum class, and a set of one is a Flags<>.
#pragma once

#include <cstdint>

#include "platform/flags.h"

namespace tessaly {

// Value kinds: one bit per registry value the record knows. The same bits make up the
// present-value set (machine hive) and the user-value set (user hive).
enum class ValueKind : uint32_t {
  ContentDir = 0x1,
  ContentVersion = 0x2,
  Hu = 0x4,
  InstallDir = 0x8,
  InstallVstDir = 0x10,
  InstallVst64Dir = 0x20,
  Jdx = 0x40,
  Key = 0x80,
  Sno = 0x100,
  SystemId = 0x200,
  Visibility = 0x400,
  HasPluginFolder = 0x800,  // derived: set with InstallVstDir or InstallVst64Dir
  SystemContentDir = 0x1000,
  UserListIndex = 0x2000,
  UserRemoved = 0x4000,
  // The kinds that make a key a product: any folder, ContentVersion, HU, JDX or Visibility.
  ProductEvidence = 0x47F,
};
constexpr bool IsFlagEnum(ValueKind) { return true; }
using ValueKinds = Flags<ValueKind>;
namespace valuekind {
using enum ValueKind;
}  // namespace valuekind

// Product types (one bit each).
enum class ProductType : uint32_t {
  None = 0,
  AppPlugin = 1,
  Content = 2,
  Bundle = 4,
  Utility = 8,
  Unknown = 16,
  All = 0xFFFF,  // as a mask: every type
};
constexpr bool IsFlagEnum(ProductType) { return true; }
using ProductTypes = Flags<ProductType>;
namespace producttype {
using enum ProductType;
}  // namespace producttype

// Content kinds: the engines a content product is for.
enum class ContentKind : uint32_t {
  Kontakt = 1,
  Kore = 2,
  Maschine = 4,
  Reaktor = 8,
  GuitarRig = 16,
  Battery = 32,
  Massive = 64,
  KompleteKontrol = 128,
  NksContent = 256,
  All = 0xFFFF,  // as a mask: any content
};
constexpr bool IsFlagEnum(ContentKind) { return true; }
using ContentKinds = Flags<ContentKind>;
namespace contentkind {
using enum ContentKind;
}  // namespace contentkind

// Which file a version text or a missing file is about.
enum class ProductFile : uint32_t {
  App = 0x8000,
  Plugin32 = 0x10000,
  Plugin64 = 0x20000,
};
constexpr bool IsFlagEnum(ProductFile) { return true; }
using ProductFiles = Flags<ProductFile>;
namespace productfile {
using enum ProductFile;
}  // namespace productfile

// A record's paths that are missing: the folders by their value kinds and the files.
struct BrokenPaths {
  ValueKinds folders;
  ProductFiles files;

  explicit operator bool() const { return !folders.Empty() || !files.Empty(); }
  bool operator==(const BrokenPaths&) const = default;
};

}  // namespace tessaly
