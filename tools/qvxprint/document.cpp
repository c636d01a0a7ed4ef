#include "document.h"

#include <gio/gio.h>
#include <libgxps/gxps.h>
#include <poppler.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace qvx::print {
namespace {

struct GObjectUnref {
  void operator()(gpointer p) const { if (p) g_object_unref(p); }
};
template <typename T>
using GRef = std::unique_ptr<T, GObjectUnref>;

struct GErrorFree {
  void operator()(GError* e) const { if (e) g_error_free(e); }
};
using ErrorPtr = std::unique_ptr<GError, GErrorFree>;

struct GFree {
  void operator()(gchar* p) const { g_free(p); }
};

std::string Message(const GError* e) { return e && e->message ? e->message : "unknown error"; }

// Distinguishes a missing or unreadable file from a readable one that is not
// what it claims to be, before any library gets to say "invalid file".
void RequireReadable(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw InputError(InputError::Kind::Unreadable,
                     path + ": cannot open: " + std::strerror(errno));
  }
}

class PdfDocument final : public Document {
 public:
  explicit PdfDocument(const std::string& path) {
    RequireReadable(path);
    GError* raw = nullptr;
    std::unique_ptr<gchar, GFree> uri(g_filename_to_uri(
        std::filesystem::absolute(path).c_str(), nullptr, &raw));
    ErrorPtr uriError(raw);
    if (!uri) throw InputError(InputError::Kind::Unreadable, path + ": " + Message(raw));
    raw = nullptr;
    doc_.reset(poppler_document_new_from_file(uri.get(), nullptr, &raw));
    ErrorPtr error(raw);
    if (!doc_) {
      throw InputError(InputError::Kind::Unreadable,
                       path + ": not a readable PDF document: " + Message(raw));
    }
    pages_ = poppler_document_get_n_pages(doc_.get());
    if (pages_ <= 0) throw InputError(InputError::Kind::Unreadable, path + ": the PDF has no pages");
  }

  int PageCount() const override { return pages_; }

  PageSizePt PageSize(int index) override {
    PageSizePt size;
    poppler_page_get_size(Page(index), &size.width, &size.height);
    return size;
  }

  void DrawPage(int index, cairo_t* cr) override {
    poppler_page_render_for_printing(Page(index), cr);
  }

 private:
  // Keeps the last page open: every band of a page draws it again.
  PopplerPage* Page(int index) {
    if (!page_ || pageIndex_ != index) {
      page_.reset(poppler_document_get_page(doc_.get(), index));
      pageIndex_ = index;
      if (!page_) {
        throw InputError(InputError::Kind::Unreadable,
                         "PDF page " + std::to_string(index + 1) + " cannot be read");
      }
    }
    return page_.get();
  }

  GRef<PopplerDocument> doc_;
  GRef<PopplerPage> page_;
  int pageIndex_ = -1;
  int pages_ = 0;
};

// XPS sizes are in 1/96 inch.
constexpr double kXpsUnitToPt = 72.0 / 96.0;

class XpsDocument final : public Document {
 public:
  explicit XpsDocument(const std::string& path) {
    RequireReadable(path);
    GRef<GFile> gfile(g_file_new_for_path(path.c_str()));
    GError* raw = nullptr;
    file_.reset(gxps_file_new(gfile.get(), &raw));
    ErrorPtr error(raw);
    if (!file_) {
      throw InputError(InputError::Kind::Unsupported,
                       path + ": not an XPS document: " + Message(raw));
    }
    // A fixed document sequence may hold several documents; they print in turn.
    const guint documents = gxps_file_get_n_documents(file_.get());
    for (guint d = 0; d < documents; ++d) {
      raw = nullptr;
      GRef<GXPSDocument> doc(gxps_file_get_document(file_.get(), d, &raw));
      ErrorPtr docError(raw);
      if (!doc) {
        throw InputError(InputError::Kind::Unreadable,
                         path + ": XPS document " + std::to_string(d + 1) + ": " + Message(raw));
      }
      const guint pages = gxps_document_get_n_pages(doc.get());
      for (guint p = 0; p < pages; ++p) index_.push_back({documents_.size(), p});
      documents_.push_back(std::move(doc));
    }
    if (index_.empty()) throw InputError(InputError::Kind::Unreadable, path + ": the XPS document has no pages");
  }

  int PageCount() const override { return static_cast<int>(index_.size()); }

  PageSizePt PageSize(int index) override {
    gdouble w = 0, h = 0;
    gxps_page_get_size(Page(index), &w, &h);
    return {w * kXpsUnitToPt, h * kXpsUnitToPt};
  }

  void DrawPage(int index, cairo_t* cr) override {
    GXPSPage* page = Page(index);
    cairo_save(cr);
    cairo_scale(cr, kXpsUnitToPt, kXpsUnitToPt);
    GError* raw = nullptr;
    const gboolean ok = gxps_page_render(page, cr, &raw);
    ErrorPtr error(raw);
    cairo_restore(cr);
    if (!ok) {
      throw InputError(InputError::Kind::Unreadable,
                       "XPS page " + std::to_string(index + 1) + " cannot be drawn: " + Message(raw));
    }
  }

 private:
  struct PageRef {
    size_t document;
    guint page;
  };

  GXPSPage* Page(int index) {
    if (!page_ || pageIndex_ != index) {
      page_.reset();
      const PageRef ref = index_.at(static_cast<size_t>(index));
      GError* raw = nullptr;
      page_.reset(gxps_document_get_page(documents_[ref.document].get(), ref.page, &raw));
      ErrorPtr error(raw);
      pageIndex_ = index;
      if (!page_) {
        throw InputError(InputError::Kind::Unreadable,
                         "XPS page " + std::to_string(index + 1) + " cannot be read: " + Message(raw));
      }
    }
    return page_.get();
  }

  GRef<GXPSFile> file_;
  std::vector<GRef<GXPSDocument>> documents_;
  std::vector<PageRef> index_;
  GRef<GXPSPage> page_;
  int pageIndex_ = -1;
};

}  // namespace

DocumentFormat SniffFormat(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw InputError(InputError::Kind::Unreadable, path + ": cannot open: " + std::strerror(errno));
  }
  std::array<unsigned char, 8> head{};
  in.read(reinterpret_cast<char*>(head.data()), head.size());
  const auto n = in.gcount();
  if (in.bad()) throw InputError(InputError::Kind::Unreadable, path + ": cannot read");
  auto starts = [&](std::initializer_list<unsigned char> magic) {
    if (static_cast<size_t>(n) < magic.size()) return false;
    return std::equal(magic.begin(), magic.end(), head.begin());
  };
  if (starts({'%', 'P', 'D', 'F'})) return DocumentFormat::Pdf;
  if (starts({'P', 'K', 3, 4})) return DocumentFormat::Xps;
  if (starts({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'})) return DocumentFormat::Png;
  if (starts({0xFF, 0xD8, 0xFF})) return DocumentFormat::Jpeg;
  return DocumentFormat::Unknown;
}

std::unique_ptr<Document> OpenPdf(const std::string& path) { return std::make_unique<PdfDocument>(path); }
std::unique_ptr<Document> OpenXps(const std::string& path) { return std::make_unique<XpsDocument>(path); }

std::unique_ptr<Document> OpenDocument(const std::string& path) {
  switch (const DocumentFormat format = SniffFormat(path)) {
    case DocumentFormat::Pdf: return OpenPdf(path);
    case DocumentFormat::Xps: return OpenXps(path);
    case DocumentFormat::Png:
    case DocumentFormat::Jpeg: return OpenImage(path, format);
    case DocumentFormat::Unknown: break;
  }
  throw InputError(InputError::Kind::Unsupported,
                   path + ": unsupported input (expected PDF, XPS/OpenXPS, PNG or JPEG)");
}

}  // namespace qvx::print
