#include "description_json.h"

#include <cstdio>
#include <string_view>

namespace qvx {
namespace {

class JsonWriter {
 public:
  std::string Take() { return std::move(out_); }

  void Open(char bracket) {
    Separator();
    out_ += bracket;
    first_ = true;
    ++depth_;
  }
  void Close(char bracket) {
    --depth_;
    if (!first_) Newline();
    out_ += bracket;
    first_ = false;
  }
  void Key(std::string_view key) {
    Separator();
    String(key);
    out_ += ": ";
    pendingValue_ = true;
  }
  void Str(const char* text) {
    Separator();
    if (!text) out_ += "null";
    else String(text);
  }
  void Wide(const char16_t* text) {
    Separator();
    if (!text) {
      out_ += "null";
      return;
    }
    std::string utf8;
    for (; *text; ++text) {
      const char32_t c = *text;
      if (c < 0x80) utf8 += static_cast<char>(c);
      else if (c < 0x800) utf8 += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
      else utf8 += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                    static_cast<char>(0x80 | (c & 0x3F))};
    }
    String(utf8, true);
  }
  void Int(long long value) {
    Separator();
    out_ += std::to_string(value);
  }
  void Bool(bool value) {
    Separator();
    out_ += value ? "true" : "false";
  }
  // Fixed-point with 8 fraction bits, printed exactly.
  void FixedValue(Fixed value) {
    Separator();
    char text[32];
    std::snprintf(text, sizeof text, "%.8g", value / 256.0);
    out_ += text;
  }

 private:
  void Separator() {
    if (pendingValue_) {
      pendingValue_ = false;
      return;
    }
    if (depth_ == 0) return;
    if (!first_) out_ += ',';
    first_ = false;
    Newline();
  }
  void Newline() {
    out_ += '\n';
    out_.append(static_cast<size_t>(depth_) * 2, ' ');
  }
  // Description texts are 8-bit: bytes above 0x7F are shown as Latin-1 code points.
  void String(std::string_view text, bool utf8 = false) {
    out_ += '"';
    for (unsigned char c : text) {
      if (c == '"' || c == '\\') {
        out_ += '\\';
        out_ += static_cast<char>(c);
      } else if (c < 0x20 || c == 0x7F || (c >= 0x80 && !utf8)) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", c);
        out_ += escape;
      } else {
        out_ += static_cast<char>(c);
      }
    }
    out_ += '"';
  }

  std::string out_;
  int depth_ = 0;
  bool first_ = true;
  bool pendingValue_ = false;
};

const char* UiTypeName(UiType type) {
  switch (type) {
    case UiType::Boolean: return "Boolean";
    case UiType::PickOne: return "PickOne";
    case UiType::PickMany: return "PickMany";
  }
  return "unknown";
}

void Area(JsonWriter& w, std::string_view key, const ImageableArea& a) {
  w.Key(key);
  w.Open('[');
  for (Fixed v : {a.llx, a.lly, a.urx, a.ury, a.extra1, a.extra2}) w.FixedValue(v);
  w.Close(']');
}

void Option(JsonWriter& w, const FeatureRecord& f, const OptionRecord& o, unsigned position) {
  w.Open('{');
  w.Key("position"); w.Int(position);
  w.Key("name"); w.Str(o.name.get());
  w.Key("translation"); w.Str(o.translation.get());
  w.Key("invocation"); w.Str(o.invocation.get());
  switch (f.index) {
    case kFeaturePageSize: {
      const auto& p = reinterpret_cast<const PaperOption&>(o);
      w.Key("landscapeInvocation"); w.Str(p.landscapeInvocation.get());
      w.Key("regionInvocation"); w.Str(p.regionInvocation.get());
      w.Key("width"); w.FixedValue(p.width);
      w.Key("height"); w.FixedValue(p.height);
      Area(w, "imageableArea", p.area);
      Area(w, "imageableAreaLandscape", p.areaLandscape);
      break;
    }
    case kFeatureInputSlot:
      w.Key("requiresPageRegion"); w.Int(reinterpret_cast<const InputSlotOption&>(o).requiresPageRegion);
      break;
    case kFeatureResolution: {
      const auto& r = reinterpret_cast<const ResolutionOption&>(o);
      w.Key("jclInvocation"); w.Str(r.jclInvocation.get());
      w.Key("setInvocation"); w.Str(r.setInvocation.get());
      w.Key("screenAngle"); w.FixedValue(r.screenAngle);
      w.Key("screenFrequency"); w.FixedValue(r.screenFrequency);
      break;
    }
    case kFeatureVMOption:
      w.Key("memory"); w.Int(reinterpret_cast<const MemoryOption&>(o).memory);
      break;
    default:
      break;
  }
  w.Close('}');
}

void Feature(JsonWriter& w, const DescriptionImage* image, const FeatureRecord& f) {
  w.Open('{');
  w.Key("index"); w.Int(f.index);
  w.Key("position"); w.Int(f.position);
  w.Key("listPosition"); w.Int(GetFeatureListPosition(image, &f));
  w.Key("name"); w.Str(f.name.get());
  w.Key("translation"); w.Str(f.translation.get());
  w.Key("kind"); w.Str(UiTypeName(f.uiType));
  w.Key("printerFeature"); w.Bool(f.printerFeature != 0);
  w.Key("jcl"); w.Bool((f.flags & kFeatureJcl) != 0);
  w.Key("flags"); w.Int(f.flags);
  w.Key("default"); w.Int(static_cast<long long>(f.defaultValue));
  w.Key("options");
  w.Open('[');
  unsigned position = 0;
  for (const OptionRecord* o = f.firstOption.get(); o; o = o->next.get()) Option(w, f, *o, position++);
  w.Close(']');
  w.Close('}');
}

}  // namespace

std::string DescriptionImageToJson(const DescriptionImage* image) {
  JsonWriter w;
  if (!image) return "null\n";
  const DescriptionImage& h = *image;
  w.Open('{');
  w.Key("path"); w.Wide(h.path.get());
  w.Key("nickname"); w.Str(h.nickname.get());
  w.Key("formatVersion"); w.Int(h.formatVersion);
  w.Key("totalSize"); w.Int(h.totalSize);
  w.Key("stamp"); w.Int(h.stamp);
  w.Key("fileVersion"); w.FixedValue(h.fileVersion);
  w.Key("protocols"); w.Int(h.protocols);
  w.Key("landscapeOrientation"); w.Int(h.landscapeOrientation);
  w.Key("rasterizer"); w.Int(h.rasterizer);
  w.Key("languageEncoding"); w.Int(h.languageEncoding);
  w.Key("languageLevel"); w.Int(h.languageLevel);
  w.Key("freeVirtualMemory"); w.Int(h.freeVirtualMemory);
  w.Key("password"); w.Str(h.password.get());
  w.Key("exitServer"); w.Str(h.exitServer.get());
  w.Key("suggestedJobTimeout"); w.Int(h.suggestedJobTimeout);
  w.Key("suggestedWaitTimeout"); w.Int(h.suggestedWaitTimeout);
  w.Key("colorDevice"); w.Int(h.colorDevice);
  w.Key("printPSError"); w.Int(h.printPSError);
  w.Key("customPageSize"); w.Int(h.customPageSize);
  w.Key("customPageSizeInvocation"); w.Str(h.customPageSizeInvocation.get());
  w.Key("customSizeParameters");
  w.Open('[');
  for (const CustomSizeParameter& p : h.customSize) {
    w.Open('{');
    w.Key("order"); w.Int(p.order);
    w.Key("type"); w.Int(p.type);
    w.Key("minimum"); w.FixedValue(p.minimum);
    w.Key("maximum"); w.FixedValue(p.maximum);
    w.Close('}');
  }
  w.Close(']');
  w.Key("hwMarginsPresent"); w.Int(h.hwMarginsPresent);
  w.Key("hwMargins");
  w.Open('[');
  for (Fixed m : h.hwMargins) w.FixedValue(m);
  w.Close(']');
  w.Key("maxMediaWidth"); w.FixedValue(h.maxMediaWidth);
  w.Key("maxMediaHeight"); w.FixedValue(h.maxMediaHeight);
  w.Key("extensions"); w.Int(h.extensions);
  w.Key("resolutionKind"); w.Int(h.resolutionKind);
  w.Key("screenAngle"); w.FixedValue(h.screenAngle);
  w.Key("screenFrequency"); w.FixedValue(h.screenFrequency);
  w.Key("jclBegin"); w.Str(h.jclBegin.get());
  w.Key("jclToPSInterpreter"); w.Str(h.jclToPSInterpreter.get());
  w.Key("jclEnd"); w.Str(h.jclEnd.get());
  w.Key("printerCaps"); w.Int(h.printerCaps);
  w.Key("modelType"); w.Int(h.modelType);
  w.Key("printRate"); w.Int(h.printRate);
  w.Key("sleepMode"); w.Str(h.sleepMode.get());
  w.Key("memorySize"); w.Str(h.memorySize.get());
  w.Key("documentFeatureCount"); w.Int(h.documentFeatureCount);
  w.Key("printerFeatureCount"); w.Int(h.printerFeatureCount);
  w.Key("features");
  w.Open('[');
  for (const FeatureRecord* f = h.firstFeature.get(); f; f = f->next.get()) Feature(w, image, *f);
  w.Close(']');
  w.Key("fonts");
  w.Open('[');
  for (const FontRecord* f = h.firstFont.get(); f; f = f->next.get()) {
    w.Open('{');
    w.Key("id"); w.Int(f->fontId);
    w.Key("name"); w.Str(f->name.get());
    w.Key("value"); w.Str(f->value.get());
    w.Close('}');
  }
  w.Close(']');
  w.Key("orderDependencies");
  w.Open('[');
  if (const OrderDependencyTable* t = h.orderDependencies.get()) {
    for (unsigned i = 0; i < t->count; ++i) {
      const OrderDependencyRecord& r = t->records()[i];
      w.Open('{');
      w.Key("dropped"); w.Bool(r.featurePosition == kDroppedRecord);
      w.Key("feature"); w.Int(r.featurePosition);
      w.Key("option"); w.Int(r.optionPosition);
      w.Key("order"); w.FixedValue(r.order);
      w.Key("sections"); w.Int(r.sections);
      w.Close('}');
    }
  }
  w.Close(']');
  w.Key("constraints");
  w.Open('[');
  if (const ConstraintTable* t = h.constraints.get()) {
    for (unsigned i = 0; i < t->count; ++i) {
      const ConstraintRecord& r = t->records()[i];
      w.Open('{');
      w.Key("dropped"); w.Bool(r.feature1 == kDroppedRecord);
      w.Key("feature1"); w.Int(r.feature1);
      w.Key("option1"); w.Int(r.option1);
      w.Key("feature2"); w.Int(r.feature2);
      w.Key("option2"); w.Int(r.option2);
      w.Close('}');
    }
  }
  w.Close(']');
  w.Close('}');
  std::string text = w.Take();
  text += '\n';
  return text;
}

}  // namespace qvx
