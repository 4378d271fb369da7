// Records: analysis of one input, and its JSON text in a fixed key order.
#include "batch/record.hpp"

#include <chrono>
#include <new>

namespace veldrix::batch {

namespace {

Json stat_json(const veldrix::RmsdStat& s) {
  return Json{{"mean", s.mean}, {"sd", s.sd}, {"atoms", s.atoms}, {"conformers", s.conformers}};
}

Json domain_json(const veldrix::Domain& d) {
  Json segments = Json::array();
  for (const veldrix::Segment& s : d.segments)
    segments.push_back(Json{{"chain", s.chain}, {"first", s.first}, {"last", s.last}});
  const veldrix::DomainStats& st = d.stats;
  return Json{{"ranges", d.ranges},
              {"segments", std::move(segments)},
              {"rmsd", d.rmsd},
              {"gaps", d.gaps},
              {"residues", d.residues},
              {"residue_ids", d.residue_ids},
              {"stats", Json{{"backbone", stat_json(st.backbone)},
                             {"heavy", stat_json(st.heavy)},
                             {"backbone_all", stat_json(st.backbone_all)},
                             {"heavy_all", stat_json(st.heavy_all)}}}};
}

template <typename T>
Json optional_json(const std::optional<T>& v) {
  return v ? Json(*v) : Json(nullptr);
}

Json residue_json(const veldrix::ResidueProfile& p) {
  return Json{{"id", p.id},
              {"name", p.name},
              {"rmsf", optional_json(p.rmsf)},
              {"s_phi", optional_json(p.s_phi)},
              {"s_psi", optional_json(p.s_psi)},
              {"domain", optional_json(p.domain)}};
}

std::string_view format_name(veldrix::Format f) { return f == veldrix::Format::mmcif ? "mmcif" : "pdb"; }

}  // namespace

Outcome analyse_input(const std::string& path, std::optional<veldrix::FileFormat> format,
                      const veldrix::Options& options, std::string_view range_text) {
  Outcome out;
  out.format = format;
  const auto start = std::chrono::steady_clock::now();
  try {
    out.result = veldrix::analyse(path, options);
    out.error = empty_range_error(*out.result, options, range_text);
  } catch (const veldrix::Error& e) {
    out.error = e.what();
  } catch (const std::bad_alloc&) {
    out.error = "The analysis ran out of memory.";
  } catch (const std::exception& e) {
    out.error = std::string("The analysis stopped: ") + e.what();
  }
  out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return out;
}

std::optional<std::string> empty_range_error(const veldrix::Result& result, const veldrix::Options& options,
                                             std::string_view range_text) {
  if (options.range.empty() || result.range_residues > 0) return std::nullopt;
  return "The range \"" + std::string(range_text.empty() ? std::string_view(options.range) : range_text) +
         "\" selects no residue.";
}

Json parameters(const veldrix::Options& o) {
  return Json{{"gap", o.gap},
              {"decrease", o.decrease},
              {"absdecrease", o.absdecrease},
              {"upper_rmsd", o.upper_rmsd},
              {"gap_width", o.gapwidth},
              {"buffer", o.buffer},
              {"minimum", o.minimum},
              {"range", o.range.empty() ? Json(nullptr) : Json(o.range)},
              {"library", o.library.empty() ? Json(nullptr) : Json(o.library)},
              {"names", o.names == veldrix::Names::modern ? "modern" : "library"}};
}

Json format_fields(const std::optional<veldrix::FileFormat>& format) {
  if (!format) return Json{{"format", nullptr}, {"compressed", nullptr}};
  return Json{{"format", format_name(format->format)}, {"compressed", format->compressed}};
}

std::optional<veldrix::FileFormat> format_from_fields(const Json& fields) {
  const auto f = fields.find("format");
  const auto c = fields.find("compressed");
  if (f == fields.end() || c == fields.end() || !f->is_string() || !c->is_boolean()) return std::nullopt;
  return veldrix::FileFormat{*f == "mmcif" ? veldrix::Format::mmcif : veldrix::Format::pdb, c->get<bool>()};
}

Json record(std::string_view file, const Outcome& outcome, const veldrix::Options& options) {
  const bool ok = !outcome.error && outcome.result;
  const veldrix::Result* r = outcome.result ? &*outcome.result : nullptr;
  Json j;
  j["file"] = std::string(file);
  const Json fmt = format_fields(outcome.format);
  j["format"] = fmt["format"];
  j["compressed"] = fmt["compressed"];
  j["status"] = ok ? "ok" : "error";
  j["error"] = ok ? Json(nullptr) : Json(outcome.error.value_or("The analysis gave no result."));
  j["warnings"] = r ? Json(r->warnings) : Json::array();
  j["conformers"] = r ? Json{{"rigid", r->conformers.rigid}, {"flexible", r->conformers.flexible}} : Json(nullptr);
  j["residues"] = r ? Json(r->residues) : Json(nullptr);
  Json domains = Json::array();
  if (ok)
    for (const veldrix::Domain& d : r->domains) domains.push_back(domain_json(d));
  j["domains"] = std::move(domains);
  Json residues = Json::array();
  if (ok)
    for (const veldrix::ResidueProfile& p : r->per_residue) residues.push_back(residue_json(p));
  j["per_residue"] = std::move(residues);
  j["parameters"] = parameters(options);
  j["version"] = veldrix::version();
  j["seconds"] = outcome.seconds;
  return j;
}

std::string to_line(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

}  // namespace veldrix::batch
