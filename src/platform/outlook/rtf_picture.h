// The pictures of RTF: one \pict group's kind, size and data (hexadecimal
// text or \bin bytes) to a Picture that HTML can refer to by content id.
#pragma once

#include "platform/outlook/rtf_html.h"

#include <optional>
#include <string>
#include <string_view>

namespace norvexa::outlook::rtf {

class PictureReader {
 public:
  // A control word of the \pict group: the kind (\pngblip, \jpegblip,
  // \emfblip, \wmetafile, \dibitmap, \macpict, \wbitmap), the size (\picw,
  // \pich, \picwgoal, \pichgoal, \picscalex, \picscaley); others are passed
  // over.
  void Control(std::string_view word, bool has_param, int param);

  // Text of the group: hexadecimal digits, two to a byte; any other
  // character (blanks, line ends) is passed over, and so is a last odd digit.
  void Hex(std::string_view text);

  // \bin data of the group, taken as it is.
  void Binary(std::string_view data);

  // The picture, with content id "rtf-picture-NUMBER.EXT@norvexa". A DIB
  // gets the file header that makes it a .bmp file. nullopt for a group
  // without data, of no known kind, of a device-dependent bitmap
  // (\wbitmap, which needs the device to be drawn), or of a DIB whose
  // header does not fit its data.
  std::optional<Picture> Take(int number);

  // The size to show the picture at, in CSS pixels (1/96 inch), from the
  // goal size in twips, else the picture's own size, times the scaling; 0
  // when not known or not sensible.
  int DisplayWidth() const;
  int DisplayHeight() const;

 private:
  enum class Kind { kUnknown, kPng, kJpeg, kEmf, kWmf, kDib, kMacPict, kDeviceBitmap };

  int DisplaySize(int own, int goal, int scale) const;

  Kind kind_ = Kind::kUnknown;
  std::string bytes_;
  int pending_nibble_ = -1;
  int picw_ = 0, pich_ = 0, goalw_ = 0, goalh_ = 0, scalex_ = 100, scaley_ = 100;
};

}  // namespace norvexa::outlook::rtf
