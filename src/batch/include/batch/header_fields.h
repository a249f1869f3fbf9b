// The fields a spectrum's header tells: the run's parameters as typed
// key-value pairs, rendered to text only by the formats that write them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace broaden {

/// One parameter of the run as the tsv comment line tells it, key=value:
/// {"fwhm", "10"}, {"input", "'a.log'"}. The value is written as it stands.
struct HeaderField {
  std::string key;
  std::string value;
  friend bool operator==(const HeaderField&, const HeaderField&) = default;
};

/// Fields in the order they are told.
class HeaderFields {
 public:
  HeaderFields() = default;
  HeaderFields(std::initializer_list<HeaderField> fields) : fields_(fields) {}

  void add(std::string key, std::string value) {
    fields_.push_back({std::move(key), std::move(value)});
  }
  void append(const HeaderFields& more) {
    fields_.insert(fields_.end(), more.fields_.begin(), more.fields_.end());
  }
  /// The value of the first field named `key`, or nullptr.
  const std::string* find(std::string_view key) const noexcept;
  /// Sets the value of the first field named `key`; false where none is.
  bool set(std::string_view key, std::string value);

  const std::vector<HeaderField>& fields() const noexcept { return fields_; }
  bool empty() const noexcept { return fields_.empty(); }

  /// The fields as one line, "key=value" joined by single blanks:
  ///   {{"shape", "gaussian"}, {"fwhm", "10"}} -> "shape=gaussian fwhm=10"
  std::string text() const;

  friend bool operator==(const HeaderFields&, const HeaderFields&) = default;

 private:
  std::vector<HeaderField> fields_;
};

}  // namespace broaden
