// A checker for the part of JSON Schema that docs/record.schema.json uses: type (one or a list), enum,
// required, properties, additionalProperties: false, items, minimum, maximum, and "#/$defs/..." references.
#pragma once

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace veldrix::batch::testing {

class SchemaCheck {
 public:
  explicit SchemaCheck(const std::string& path) : root_(nlohmann::json::parse(std::ifstream(path))) {}
  const nlohmann::json& root() const { return root_; }

  // The violations of `value`, each with its JSON pointer; empty when it conforms.
  std::vector<std::string> violations(const nlohmann::ordered_json& value) const {
    std::vector<std::string> out;
    check(nlohmann::json(value), root_, "", out);
    return out;
  }

 private:
  static bool has_type(const nlohmann::json& v, const std::string& t) {
    return t == "integer"   ? v.is_number_integer()
           : t == "number"  ? v.is_number()
           : t == "string"  ? v.is_string()
           : t == "boolean" ? v.is_boolean()
           : t == "null"    ? v.is_null()
           : t == "array"   ? v.is_array()
                            : t == "object" && v.is_object();
  }

  void check(const nlohmann::json& v, const nlohmann::json& s, const std::string& at,
             std::vector<std::string>& out) const {
    if (s.contains("$ref"))
      return check(v, root_.at(nlohmann::json::json_pointer(s["$ref"].get<std::string>().substr(1))), at, out);
    if (s.contains("type")) {
      const nlohmann::json types = s["type"].is_array() ? s["type"] : nlohmann::json::array({s["type"]});
      if (std::none_of(types.begin(), types.end(), [&](const auto& t) { return has_type(v, t); }))
        return out.push_back(at + ": not of type " + types.dump());
    }
    if (s.contains("enum") && std::find(s["enum"].begin(), s["enum"].end(), v) == s["enum"].end())
      out.push_back(at + ": " + v.dump() + " not in enum");
    if (s.contains("minimum") && v.is_number() && v.get<double>() < s["minimum"].get<double>())
      out.push_back(at + ": below minimum");
    if (s.contains("maximum") && v.is_number() && v.get<double>() > s["maximum"].get<double>())
      out.push_back(at + ": above maximum");
    if (v.is_object()) {
      for (const auto& key : s.value("required", nlohmann::json::array()))
        if (!v.contains(key)) out.push_back(at + ": missing " + key.get<std::string>());
      const nlohmann::json props = s.value("properties", nlohmann::json::object());
      for (const auto& [key, value] : v.items())
        if (props.contains(key))
          check(value, props[key], at + "/" + key, out);
        else if (s.value("additionalProperties", true) == false)
          out.push_back(at + ": unexpected key " + key);
    }
    if (v.is_array() && s.contains("items"))
      for (std::size_t i = 0; i < v.size(); ++i) check(v[i], s["items"], at + "/" + std::to_string(i), out);
  }

  nlohmann::json root_;
};

}  // namespace veldrix::batch::testing
