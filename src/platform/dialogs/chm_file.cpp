// Read access to a CHM file through libchm.
#include "platform/dialogs/chm_file.h"

#include <QFile>

#include <chm_lib.h>

#include <limits>

namespace norvexa::sys {
namespace {

// Objects larger than this are not read into memory (no help page comes
// near it; it guards against a damaged length field).
constexpr LONGUINT64 kMaxObjectSize = 64ull * 1024 * 1024;

int CollectObject(chmFile*, chmUnitInfo* ui, void* context) {
  auto* names = static_cast<QStringList*>(context);
  const QString path = QString::fromUtf8(ui->path);
  if (!path.endsWith('/')) names->append(path);
  return CHM_ENUMERATOR_CONTINUE;
}

// Little-endian 16- and 32-bit values inside a byte array.
quint32 Read16(const QByteArray& bytes, qsizetype at) {
  return quint32(quint8(bytes[at])) | (quint32(quint8(bytes[at + 1])) << 8);
}

// A NUL-terminated text inside an entry.
QString EntryText(const QByteArray& data) {
  const qsizetype nul = data.indexOf('\0');
  return QString::fromLatin1(nul < 0 ? data : data.left(nul));
}

// Makes PATH absolute inside the file ("index.html" -> "/index.html").
QString Absolute(const QString& path) { return path.startsWith('/') ? path : "/" + path; }

}  // namespace

void ChmFile::Closer::operator()(chmFile* file) const { chm_close(file); }

ChmFile::ChmFile(const QString& path) {
  if (!QFile::exists(path)) throw ChmError("the help file " + path.toStdString() + " does not exist");
  file_.reset(chm_open(QFile::encodeName(path).constData()));
  if (!file_) throw ChmError("the help file " + path.toStdString() + " is not a readable CHM file");
  ReadSystem();
  if (contents_path_.isEmpty()) {
    for (const QString& object : Objects()) {
      if (object.endsWith(".hhc", Qt::CaseInsensitive)) {
        contents_path_ = object;
        break;
      }
    }
  }
}

ChmFile::~ChmFile() = default;

bool ChmFile::Contains(const QString& path) const {
  chmUnitInfo ui;
  return chm_resolve_object(file_.get(), Absolute(path).toUtf8().constData(), &ui) == CHM_RESOLVE_SUCCESS;
}

QByteArray ChmFile::Read(const QString& path) const {
  chmUnitInfo ui;
  const QString absolute = Absolute(path);
  if (chm_resolve_object(file_.get(), absolute.toUtf8().constData(), &ui) != CHM_RESOLVE_SUCCESS)
    throw ChmError("the help file has no page " + absolute.toStdString());
  if (ui.length > kMaxObjectSize) throw ChmError("the help page " + absolute.toStdString() + " is too large");
  QByteArray bytes(static_cast<qsizetype>(ui.length), '\0');
  if (ui.length == 0) return bytes;
  const LONGINT64 got =
      chm_retrieve_object(file_.get(), &ui, reinterpret_cast<unsigned char*>(bytes.data()), 0, LONGINT64(ui.length));
  if (got != LONGINT64(ui.length)) throw ChmError("the help page " + absolute.toStdString() + " cannot be read");
  return bytes;
}

QStringList ChmFile::Objects() const {
  QStringList names;
  chm_enumerate(file_.get(), CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, CollectObject, &names);
  return names;
}

void ChmFile::ReadSystem() {
  // #SYSTEM: a 4-byte version, then entries of a 2-byte code, a 2-byte
  // length and that many bytes. Code 0 names the contents file, 2 the
  // default topic, 3 the title. A damaged or missing #SYSTEM only loses
  // these hints; the contents file is then searched for by name.
  QByteArray system;
  try {
    system = Read("/#SYSTEM");
  } catch (const ChmError&) {
    return;
  }
  qsizetype at = 4;
  while (at + 4 <= system.size()) {
    const quint32 code = Read16(system, at);
    const qsizetype length = Read16(system, at + 2);
    at += 4;
    if (at + length > system.size()) break;
    const QString text = EntryText(system.mid(at, length));
    if (code == 0 && !text.isEmpty()) contents_path_ = Absolute(text);
    if (code == 2 && !text.isEmpty()) default_topic_ = Absolute(text);
    if (code == 3) title_ = text;
    at += length;
  }
  if (!contents_path_.isEmpty() && !Contains(contents_path_)) contents_path_.clear();
}

}  // namespace norvexa::sys
