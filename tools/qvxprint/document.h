// Documents that qvxprint can print: PDF, XPS/OpenXPS and PNG/JPEG images.
// A document draws one page at a time into a cairo context whose user space is
// in points with the origin at the page's top left corner.
#pragma once

#include <cairo.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace qvx::print {

// Failures that come from the input file; `Kind` chooses the exit code.
class InputError : public std::runtime_error {
 public:
  enum class Kind { Unreadable, Unsupported };
  InputError(Kind kind, const std::string& message)
      : std::runtime_error(message), kind_(kind) {}
  Kind kind() const { return kind_; }

 private:
  Kind kind_;
};

struct PageSizePt {
  double width = 0;
  double height = 0;
};

class Document {
 public:
  virtual ~Document() = default;
  virtual int PageCount() const = 0;
  virtual PageSizePt PageSize(int index) = 0;
  // Draws the page; throws InputError when the page cannot be drawn.
  virtual void DrawPage(int index, cairo_t* cr) = 0;
};

enum class DocumentFormat { Unknown, Pdf, Xps, Png, Jpeg };

// Recognises the format by the file's first bytes, not by its name.
DocumentFormat SniffFormat(const std::string& path);

// Opens any supported document; throws InputError.
std::unique_ptr<Document> OpenDocument(const std::string& path);

std::unique_ptr<Document> OpenPdf(const std::string& path);
std::unique_ptr<Document> OpenXps(const std::string& path);
std::unique_ptr<Document> OpenImage(const std::string& path, DocumentFormat format);

}  // namespace qvx::print
