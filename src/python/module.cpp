// The Python module veldrix (compiled part veldrix._veldrix): the library's analysis with the data of
// veldrix-batch's records. A Result's to_dict() is the record itself, made by the batch front end's
// record(), so that every key the record gains appears in it too.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>
#include <veldrix/veldrix.hpp>

#include "batch/parameters.hpp"
#include "batch/record.hpp"

namespace py = pybind11;
using veldrix::batch::Json;

namespace {

// The file name of an ensemble given as bytes, in the printed lines and the record; the read command
// adds no ".pdb" to a name that ends in '|'.
constexpr const char* bytes_name = "<bytes>";
constexpr const char* bytes_read_name = "<bytes>|";

// One analysis: the library's result, and the input and options that its record also shows.
struct Analysis : veldrix::Result {
  std::string file;
  veldrix::Options options;
  double seconds = 0.0;

  Json record() const {
    veldrix::batch::Outcome outcome;
    outcome.format = file_format;
    outcome.result = static_cast<const veldrix::Result&>(*this);
    outcome.seconds = seconds;
    return veldrix::batch::record(file, outcome, options);
  }
};

// Text from the library or a file as str; bytes that are not UTF-8 become U+FFFD, as in the records.
py::str text(std::string_view s) {
  PyObject* o = PyUnicode_DecodeUTF8(s.data(), static_cast<Py_ssize_t>(s.size()), "replace");
  if (!o) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(o);
}

py::list texts(const std::vector<std::string>& v) {
  py::list l;
  for (const std::string& s : v) l.append(text(s));
  return l;
}

py::object to_python(const Json& j) {
  switch (j.type()) {
    case Json::value_t::boolean: return py::bool_(j.get<bool>());
    case Json::value_t::number_integer: return py::int_(j.get<std::int64_t>());
    case Json::value_t::number_unsigned: return py::int_(j.get<std::uint64_t>());
    case Json::value_t::number_float: return py::float_(j.get<double>());
    case Json::value_t::string: return text(j.get_ref<const std::string&>());
    case Json::value_t::array: {
      py::list l;
      for (const Json& x : j) l.append(to_python(x));
      return l;
    }
    case Json::value_t::object: {
      py::dict d;  // keeps the record's key order
      for (const auto& [key, value] : j.items()) d[text(key)] = to_python(value);
      return d;
    }
    default: return py::none();
  }
}

// A path as the file system takes it: str or os.PathLike, encoded as os.fsencode does.
std::string file_system_path(const py::handle& path, const char* what) {
  const std::string s = py::module_::import("os").attr("fsencode")(path).cast<std::string>();
  if (s.find('\0') != std::string::npos) throw py::value_error(std::string(what) + ": embedded null byte");
  return s;
}

bool is_path(const py::handle& o) { return py::isinstance<py::str>(o) || py::hasattr(o, "__fspath__"); }

void check_real(const char* name, double x) {
  if (!veldrix::batch::real_fits(x))
    throw py::value_error(std::string(name) + "=" + py::repr(py::float_(x)).cast<std::string>() + " is outside " +
                          std::string(veldrix::batch::real_limits));
}

int checked_integer(const char* name, long long x) {
  if (!veldrix::batch::integer_fits(x))
    throw py::value_error(std::string(name) + "=" + std::to_string(x) + " is outside " +
                          std::to_string(veldrix::batch::integer_low) + ".." +
                          std::to_string(veldrix::batch::integer_high));
  return static_cast<int>(x);
}

std::unique_ptr<Analysis> analyse(const py::object& source, double gap, double decrease, double absdecrease,
                                  double upper_rmsd, long long gap_width, long long buffer, long long minimum,
                                  const std::optional<std::string>& range, const py::object& library,
                                  const std::string& names) {
  veldrix::Options o;
  check_real("gap", o.gap = gap);
  check_real("decrease", o.decrease = decrease);
  check_real("absdecrease", o.absdecrease = absdecrease);
  check_real("upper_rmsd", o.upper_rmsd = upper_rmsd);
  o.gapwidth = checked_integer("gap_width", gap_width);
  o.buffer = checked_integer("buffer", buffer);
  o.minimum = checked_integer("minimum", minimum);
  std::string range_text = range.value_or("");
  o.range = veldrix::batch::widen_range(range_text);
  if (o.range.empty()) range_text.clear();
  if (!library.is_none()) {
    if (!is_path(library)) throw py::type_error("library must be a path (str or os.PathLike) or None");
    o.library = file_system_path(library, "library");
  }
  if (names != "library" && names != "modern")
    throw py::value_error("names=" + py::repr(py::str(names)).cast<std::string>() +
                          " is neither 'library' nor 'modern'");
  o.names = names == "modern" ? veldrix::Names::modern : veldrix::Names::library;

  auto a = std::make_unique<Analysis>();
  a->options = o;
  std::string_view content;
  const bool in_memory = py::isinstance<py::bytes>(source);
  if (in_memory) {
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(source.ptr(), &data, &size) != 0) throw py::error_already_set();
    content = std::string_view(data, static_cast<std::size_t>(size));  // bytes are immutable; `source` keeps them
    a->file = bytes_name;
  } else if (is_path(source)) {
    a->file = file_system_path(source, "source");
  } else {
    throw py::type_error("source must be a path (str or os.PathLike) or the file's content (bytes), not " +
                         py::type::of(source).attr("__name__").cast<std::string>());
  }
  {
    py::gil_scoped_release release;
    const auto start = std::chrono::steady_clock::now();
    veldrix::Result r = in_memory ? veldrix::analyse_text(content, o, bytes_read_name) : veldrix::analyse(a->file, o);
    a->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    static_cast<veldrix::Result&>(*a) = std::move(r);
  }
  if (const auto error = veldrix::batch::empty_range_error(*a, o, range_text)) throw veldrix::Error(*error, a->lines);
  return a;
}

constexpr const char* analyse_doc = R"(Finds the well-defined residue ranges of each rigid domain of an NMR ensemble.

Parameters
----------
source : str, os.PathLike or bytes
    A path to the ensemble, or the file's content as bytes. PDB or mmCIF, plain or gzip,
    judged by content. For bytes, the file name in the printed lines and in the record is "<bytes>".
gap : float
    Weight of a residue removal that would split a range in two (0 to 99.99).
decrease : float
    Relative RMSD decrease a residue removal must reach (0 to 99.99).
absdecrease : float
    Absolute RMSD decrease a residue removal must reach (0 to 99.99).
upper_rmsd : float
    The refinement of a domain stops below this RMSD, in Angstrom (0 to 99.99).
gap_width : int
    Gaps narrower than this are closed again (0 to 99).
buffer : int
    Residues added on both sides of a domain candidate (0 to 99).
minimum : int
    Residues a reported domain has at least (0 to 99).
range : str or None
    Residue range to analyse, e.g. "1-40,60-90" or "A1-A40,B1-B40"; a bound without a chain
    letter stands for every chain. None (or "all"): all residues.
library : str, os.PathLike or None
    Residue library file; None: the built-in library.
names : str
    "library": residue and atom names as the library has them; "modern": today's PDB and
    simulation names (DA, HN, HIE, ...) mapped to the library's first.

Returns
-------
Result
    The domains, warnings, conformers and printed lines; Result.to_dict() is the record
    veldrix-batch writes for the same input.

Raises
------
veldrix.Error
    For a fatal message of the analysis (args[0] is its text, e.g. 'Input file "x.pdb" cannot
    be opened.'; .lines are the lines printed before it), and for a range that selects no residue.
ValueError
    For an option outside its limits or an unknown names value.
TypeError
    For an unknown keyword or a source of another type.

The analysis runs without the GIL: analyses on several threads run at the same time.)";

}  // namespace

PYBIND11_MODULE(_veldrix, m) {
  m.doc() = "VELDRIX: the well-defined residue ranges of the rigid domains of an NMR ensemble.";
  m.attr("__version__") = veldrix::version();
  // The classes are shown as members of the package, which re-exports them.
  const py::object compiled_name = m.attr("__name__");
  m.attr("__name__") = "veldrix";

  static py::exception<veldrix::Error> error(m, "Error");
  error.attr("__doc__") = "A fatal message of the analysis: args[0] is its text, .lines the lines printed before it.";
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const veldrix::Error& e) {
      py::object exc = py::reinterpret_borrow<py::object>(error)(text(e.what()));
      exc.attr("lines") = texts(e.lines());
      PyErr_SetObject(error.ptr(), exc.ptr());
    }
  });

  py::class_<veldrix::Segment>(m, "Segment", "One stretch of consecutive residues of a domain.")
      .def_property_readonly("chain", [](const veldrix::Segment& s) { return text(s.chain); })
      .def_property_readonly(
          "first", [](const veldrix::Segment& s) { return text(s.first); },
          "Residue identifier: chain letter and number, e.g. 'A5'.")
      .def_property_readonly("last", [](const veldrix::Segment& s) { return text(s.last); })
      .def("__repr__", [](const veldrix::Segment& s) {
        return "<veldrix.Segment " + std::string(text(s.first)) + ".." + std::string(text(s.last)) + ">";
      });

  py::class_<veldrix::RmsdStat>(m, "RmsdStat",
                                "RMSD of the conformers to their mean after their superposition on these atoms (A): "
                                "mean and sample standard deviation, with the atoms and conformers behind it.")
      .def_readonly("mean", &veldrix::RmsdStat::mean)
      .def_readonly("sd", &veldrix::RmsdStat::sd)
      .def_readonly("atoms", &veldrix::RmsdStat::atoms)
      .def_readonly("conformers", &veldrix::RmsdStat::conformers);

  py::class_<veldrix::DomainStats>(m, "DomainStats",
                                   "Structure statistics of a domain: backbone and heavy atoms of its residues, and "
                                   "the same over all residues of the molecule.")
      .def_readonly("backbone", &veldrix::DomainStats::backbone)
      .def_readonly("heavy", &veldrix::DomainStats::heavy)
      .def_readonly("backbone_all", &veldrix::DomainStats::backbone_all)
      .def_readonly("heavy_all", &veldrix::DomainStats::heavy_all);

  py::class_<veldrix::ResidueProfile>(m, "ResidueProfile",
                                      "One residue of the sequence: backbone RMSF after superposition on the first "
                                      "domain, order parameters of phi and psi, the domain holding it (None: none).")
      .def_property_readonly("id", [](const veldrix::ResidueProfile& r) { return text(r.id); })
      .def_property_readonly("name", [](const veldrix::ResidueProfile& r) { return text(r.name); })
      .def_readonly("rmsf", &veldrix::ResidueProfile::rmsf)
      .def_readonly("s_phi", &veldrix::ResidueProfile::s_phi)
      .def_readonly("s_psi", &veldrix::ResidueProfile::s_psi)
      .def_readonly("domain", &veldrix::ResidueProfile::domain, "1 for the first domain.");

  py::class_<veldrix::Domain>(m, "Domain", "One rigid domain, as its result line reports it.")
      .def_property_readonly(
          "ranges", [](const veldrix::Domain& d) { return text(d.ranges); },
          "The text between 'Optimal range ' and ':', e.g. '5..42, 48..60'.")
      .def_readonly("segments", &veldrix::Domain::segments)
      .def_readonly("rmsd", &veldrix::Domain::rmsd, "Ensemble RMSD on the domain (A), full precision.")
      .def_readonly("gaps", &veldrix::Domain::gaps)
      .def_readonly("residues", &veldrix::Domain::residues)
      .def_property_readonly(
          "residue_ids", [](const veldrix::Domain& d) { return texts(d.residue_ids); },
          "The domain's residues in sequence order, e.g. ['A5', 'A6', ...].")
      .def_readonly("stats", &veldrix::Domain::stats)
      .def("__repr__", [](const veldrix::Domain& d) {
        return "<veldrix.Domain " + std::string(text(d.ranges)) + ": RMSD " +
               py::repr(py::float_(d.rmsd)).cast<std::string>() + " A, " + std::to_string(d.residues) + " residues>";
      });

  py::class_<veldrix::Conformers>(m, "Conformers", "The conformers read.")
      .def_readonly("rigid", &veldrix::Conformers::rigid)
      .def_readonly("flexible", &veldrix::Conformers::flexible)
      .def("__repr__", [](const veldrix::Conformers& c) {
        return "<veldrix.Conformers rigid=" + std::to_string(c.rigid) + " flexible=" + std::to_string(c.flexible) + ">";
      });

  py::class_<veldrix::PhaseTimes>(m, "PhaseTimes", "Wall time of the phases of the analysis, in seconds.")
      .def_readonly("reading", &veldrix::PhaseTimes::reading)
      .def_readonly("order_and_variances", &veldrix::PhaseTimes::order_and_variances)
      .def_readonly("clustering", &veldrix::PhaseTimes::clustering)
      .def_readonly("domain_search", &veldrix::PhaseTimes::domain_search);

  py::class_<Analysis>(m, "Result", "The analysis of one ensemble; to_dict() gives veldrix-batch's record of it.")
      .def_property_readonly(
          "file", [](const Analysis& a) { return text(a.file); }, "The path as given, or '<bytes>'.")
      .def_property_readonly(
          "format", [](const Analysis& a) { return to_python(veldrix::batch::format_fields(a.file_format)["format"]); },
          "'pdb' or 'mmcif', judged by content.")
      .def_property_readonly(
          "compressed", [](const Analysis& a) { return a.file_format.compressed; }, "Whether the input was gzip.")
      .def_readonly("domains", &Analysis::domains, "The domains, in printed order.")
      .def_property_readonly(
          "warnings", [](const Analysis& a) { return texts(a.warnings); }, "Warning texts, without '*** WARNING: '.")
      .def_readonly("conformers", &Analysis::conformers)
      .def_readonly("per_residue", &Analysis::per_residue, "One profile per residue of the sequence.")
      .def_readonly("residues", &Analysis::residues, "Residues of the molecule.")
      .def_readonly("range_residues", &Analysis::range_residues, "Residues with an atom in the range analysed.")
      .def_property_readonly(
          "lines", [](const Analysis& a) { return texts(a.lines); },
          "Every line the veldrix program prints for this input.")
      .def_readonly("phases", &Analysis::phases)
      .def_readonly("seconds", &Analysis::seconds, "Wall time of the analysis.")
      .def(
          "to_dict", [](const Analysis& a) { return py::dict(to_python(a.record())); },
          "The record veldrix-batch writes for this input, as a dict (see docs/record.schema.json).")
      .def("__repr__", [](const Analysis& a) {
        py::list ranges;
        for (const veldrix::Domain& d : a.domains) ranges.append(text(d.ranges));
        return "<veldrix.Result " + py::repr(text(a.file)).cast<std::string>() +
               " domains=" + py::repr(ranges).cast<std::string>() + ">";
      });

  const veldrix::Options defaults;
  m.def("analyse", &analyse, analyse_doc, py::arg("source"), py::kw_only(), py::arg("gap") = defaults.gap,
        py::arg("decrease") = defaults.decrease, py::arg("absdecrease") = defaults.absdecrease,
        py::arg("upper_rmsd") = defaults.upper_rmsd, py::arg("gap_width") = defaults.gapwidth,
        py::arg("buffer") = defaults.buffer, py::arg("minimum") = defaults.minimum, py::arg("range") = py::none(),
        py::arg("library") = py::none(),
        py::arg("names") = veldrix::batch::parameters(defaults)["names"].get<std::string>());

  m.attr("__name__") = compiled_name;
}
