// The image list of the main window (SmallIcons): 76 small images in slots
// 0 to 75, some of them keyed, from which the folder tree draws its icons.
#pragma once

#include <QIcon>
#include <QString>

#include <array>

namespace norvexa::shell {

class ImageList {
 public:
  static constexpr int kCount = 76;

  // Loads every image. Throws std::runtime_error when a picture resource is
  // missing or broken.
  ImageList();

  int Count() const { return kCount; }

  // The image in SLOT. Throws std::out_of_range for a slot outside 0..75.
  QIcon Image(int slot) const;

  // The key of SLOT, "" for an unkeyed slot. Throws std::out_of_range.
  QString Key(int slot) const;

  // The slot keyed KEY (exact), or -1.
  int SlotOfKey(const QString& key) const;

 private:
  std::array<QIcon, kCount> images_;
  std::array<QString, kCount> keys_;
};

}  // namespace norvexa::shell
