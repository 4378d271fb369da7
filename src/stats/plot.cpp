// The precision profile as an SVG plot: RMSF per residue with the domains shaded, order parameters below.
#include "stats/plot.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

namespace veldrix {

namespace {

// Domain colours; the order parameters keep colours of their own that none of these repeats.
constexpr const char* domain_colours[] = {"#2ca02c", "#ff7f0e", "#9467bd", "#8c564b",
                                          "#e377c2", "#17becf", "#bcbd22", "#7f7f7f"};
constexpr const char* phi_colour = "#1f4e9c";
constexpr const char* psi_colour = "#d62728";

// Geometry (px): the plot area runs from `left` to width - `right`.
constexpr double left = 70, right = 24, max_plot_width = 1100, min_width = 640, max_column = 40;
constexpr double rmsf_height = 260, order_height = 120, track_gap = 44, row = 18;
constexpr double label_spacing = 34;  // least distance of two residue number labels
constexpr double char_width = 6.8;    // of the 12 px font, on average, for wrapping the legend

std::string num(double x, int decimals = 1) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, x);
  return buf;
}

// Chain letter and residue number of an identifier such as "A12" or "B-3".
std::pair<std::string, std::optional<int>> split_id(const std::string& id) {
  if (id.empty()) return {"", std::nullopt};
  int n = 0;
  const char* end = id.data() + id.size();
  const auto [p, ec] = std::from_chars(id.data() + 1, end, n);
  if (ec != std::errc() || p != end) return {id.substr(0, 1), std::nullopt};
  return {id.substr(0, 1), n};
}

class Svg {
 public:
  void add(const std::string& element) { body_ += element + "\n"; }
  void text(double x, double y, std::string_view s, const std::string& attributes = "") {
    add("<text x=\"" + num(x) + "\" y=\"" + num(y) + "\"" + (attributes.empty() ? "" : " " + attributes) + ">" +
        xml_text(s) + "</text>");
  }
  void line(double x1, double y1, double x2, double y2, const std::string& style) {
    add("<line x1=\"" + num(x1) + "\" y1=\"" + num(y1) + "\" x2=\"" + num(x2) + "\" y2=\"" + num(y2) + "\" " + style +
        "/>");
  }
  void rect(double x, double y, double w, double h, const std::string& style, std::string_view tip = {}) {
    const std::string head = "<rect x=\"" + num(x, 2) + "\" y=\"" + num(y, 2) + "\" width=\"" + num(w, 2) +
                             "\" height=\"" + num(std::max(h, 0.0), 2) + "\" " + style;
    add(tip.empty() ? head + "/>" : head + "><title>" + xml_text(tip) + "</title></rect>");
  }
  // A polyline through the points, split where a point is absent.
  void series(const std::vector<std::optional<std::pair<double, double>>>& points, const std::string& style) {
    std::string path;
    for (std::size_t i = 0; i <= points.size(); ++i) {
      if (i < points.size() && points[i]) {
        if (!path.empty()) path += ' ';
        path.append(num(points[i]->first, 2)).append(1, ',').append(num(points[i]->second, 2));
        continue;
      }
      if (path.find(' ') != std::string::npos) add("<polyline points=\"" + path + "\" " + style + "/>");
      path.clear();
    }
  }
  std::string document(double width, double height) const {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
           num(width, 0) + "\" height=\"" + num(height, 0) + "\" viewBox=\"0 0 " + num(width, 0) + " " +
           num(height, 0) + "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\" font-size=\"12\">\n" +
           "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n" + body_ + "</svg>\n";
  }

 private:
  std::string body_;
};

// Where each residue's column lies: residues side by side, a break where the chain changes or the numbering jumps.
struct Columns {
  std::vector<double> x;  // left edge of each residue's column
  std::vector<bool> break_before;
  double width = 0;  // of one column
  double end = 0;    // right edge of the last column
};

Columns layout(const std::vector<ResidueProfile>& residues) {
  Columns c;
  const std::size_t n = residues.size();
  c.break_before.assign(n, false);
  int breaks = 0;
  for (std::size_t i = 1; i < n; ++i) {
    const auto [chain0, num0] = split_id(residues[i - 1].id);
    const auto [chain1, num1] = split_id(residues[i].id);
    c.break_before[i] = chain0 != chain1 || !num0 || !num1 || *num1 != *num0 + 1;
    breaks += c.break_before[i] ? 1 : 0;
  }
  const double gap = breaks > 0 ? std::min(14.0, 0.4 * max_plot_width / breaks) : 0.0;
  c.width = n > 0 ? std::min(max_column, (max_plot_width - gap * breaks) / double(n)) : max_column;
  double x = left;
  for (std::size_t i = 0; i < n; ++i) {
    if (c.break_before[i]) x += gap;
    c.x.push_back(x);
    x += c.width;
  }
  c.end = x;
  return c;
}

std::string rmsd_text(const RmsdStat& s) { return num(s.mean, 2) + " \u00b1 " + num(s.sd, 2) + " \u00c5"; }

}  // namespace

std::string xml_text(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '&': out += "&amp;"; continue;
      case '<': out += "&lt;"; continue;
      case '>': out += "&gt;"; continue;
      case '"': out += "&quot;"; continue;
      case '\'': out += "&apos;"; continue;
      default: break;
    }
    if (c < 0x20 || c == 0x7f) {
      out += c == '\t' || c == '\n' ? ' ' : '?';
      continue;
    }
    if (c < 0x80) {
      out += char(c);
      continue;
    }
    // A UTF-8 sequence is copied whole when it is well formed.
    const std::size_t len = c >= 0xf0 && c < 0xf5 ? 4 : c >= 0xe0 ? 3 : c >= 0xc2 && c < 0xe0 ? 2 : 0;
    bool ok = len > 0 && i + len <= text.size();
    for (std::size_t k = 1; ok && k < len; ++k) ok = (static_cast<unsigned char>(text[i + k]) & 0xc0) == 0x80;
    if (!ok) {
      out += '?';
      continue;
    }
    out.append(text.substr(i, len));
    i += len - 1;
  }
  return out;
}

double nice_step(double least) {
  if (!(least > 0)) return 1;
  const double p = std::pow(10.0, std::floor(std::log10(least)));
  for (const double m : {1.0, 2.0, 5.0, 10.0})
    if (m * p >= least * (1 - 1e-12)) return m * p;
  return 10 * p;
}

std::string plot_svg(const Result& result, std::string_view title) {
  const std::vector<ResidueProfile>& res = result.per_residue;
  const std::size_t n = res.size();
  const Columns col = layout(res);
  // Wide enough for the plot and for the legend's longest heading.
  auto heading = [](std::size_t d, const Domain& dom) {
    return "Domain " + std::to_string(d + 1) + ": RMSD " + num(dom.rmsd, 2) + " \u00c5; backbone " +
           rmsd_text(dom.stats.backbone) + ", heavy atoms " + rmsd_text(dom.stats.heavy) + "; " +
           std::to_string(dom.residues) + " residues";
  };
  double width = std::max(min_width, col.end + right);
  for (std::size_t d = 0; d < result.domains.size(); ++d)
    width = std::max(width, left + 20 + right + 1.15 * char_width * double(heading(d, result.domains[d]).size()));
  Svg svg;

  // Title, and what the plot shows.
  svg.text(left, 28, title, "font-size=\"18\" font-weight=\"bold\"");
  const int conformers = result.conformers.rigid + result.conformers.flexible;
  svg.text(left, 48,
           std::to_string(conformers) + " conformers, " + std::to_string(n) +
               " residues; backbone RMSF after superposition on " +
               (result.domains.empty() ? std::string("no domain (none found)") : std::string("domain 1")),
           "fill=\"#444\"");

  // Legend: per domain its colour and figures, then its ranges, wrapped at commas to the width.
  const double text_width = width - left - 20 - right;
  double y = 70;
  for (std::size_t d = 0; d < result.domains.size(); ++d) {
    const Domain& dom = result.domains[d];
    const char* colour = domain_colours[d % std::size(domain_colours)];
    svg.rect(left, y - 10, 14, 12, std::string("fill=\"") + colour + "\" fill-opacity=\"0.6\"");
    svg.text(left + 20, y, heading(d, dom), "font-weight=\"bold\"");
    y += row;
    std::string line;
    for (std::size_t at = 0; at < dom.ranges.size();) {
      std::size_t comma = dom.ranges.find(", ", at);
      const std::string piece = dom.ranges.substr(at, comma == std::string::npos ? std::string::npos : comma + 2 - at);
      if (!line.empty() && double(line.size() + piece.size()) * char_width > text_width) {
        svg.text(left + 20, y, line);
        y += row;
        line.clear();
      }
      line += piece;
      at = comma == std::string::npos ? dom.ranges.size() : comma + 2;
    }
    svg.text(left + 20, y, line);
    y += row + 4;
  }
  if (result.domains.empty()) {
    svg.text(left, y, "No well-defined domain.");
    y += row;
  }

  const double top1 = y + 14, bottom1 = top1 + rmsf_height;
  const double top2 = bottom1 + track_gap, bottom2 = top2 + order_height;
  const double height = bottom2 + 62;

  // Domain shading across both tracks, one block per run of residues of a domain.
  for (std::size_t i = 0; i < n;) {
    std::size_t j = i + 1;
    while (j < n && res[j].domain == res[i].domain && !col.break_before[j]) ++j;
    if (res[i].domain) {
      const char* colour = domain_colours[std::size_t(*res[i].domain - 1) % std::size(domain_colours)];
      const double x0 = col.x[i], x1 = col.x[j - 1] + col.width;
      for (const auto& [top, bottom] : {std::pair(top1, bottom1), std::pair(top2, bottom2)})
        svg.rect(x0, top, x1 - x0, bottom - top, std::string("fill=\"") + colour + "\" fill-opacity=\"0.16\"");
      svg.rect(x0, top1, x1 - x0, 5, std::string("fill=\"") + colour + "\"");
    }
    i = j;
  }

  // Value axes with grid lines.
  // The RMSF scale reaches three times the largest value inside the domains (at least 1 A): the
  // floppy ends, often ten times that, would flatten the ordered part; they are cut at the top.
  double rmax = 0, inside = 0;
  for (const ResidueProfile& p : res) {
    rmax = std::max(rmax, p.rmsf.value_or(0.0));
    if (p.domain) inside = std::max(inside, p.rmsf.value_or(0.0));
  }
  const double shown = inside > 0 ? std::min(rmax, std::max(1.0, 3 * inside)) : rmax;
  const double rstep = nice_step(shown > 0 ? shown / 5 : 0.2);
  const double rtop = std::max(rstep, std::ceil(shown / rstep - 1e-9) * rstep);
  const bool cut = rmax > rtop;
  auto ry = [&](double v) { return bottom1 - std::min(v, rtop) / rtop * rmsf_height; };
  auto sy = [&](double v) { return bottom2 - v * order_height; };
  const std::string grid = "stroke=\"#ddd\" stroke-width=\"1\"";
  for (double v = 0; v <= rtop + 1e-9; v += rstep) {
    svg.line(left - 4, ry(v), col.end, ry(v), grid);
    svg.text(left - 7, ry(v) + 4, num(v, rstep < 0.1 ? 2 : 1), "text-anchor=\"end\"");
  }
  for (const double v : {0.0, 0.5, 1.0}) {
    svg.line(left - 4, sy(v), col.end, sy(v), grid);
    svg.text(left - 7, sy(v) + 4, num(v, 1), "text-anchor=\"end\"");
  }
  if (cut)
    svg.text(col.end, top1 - 4,
             "\u25b2 cut at " + num(rtop, rstep < 0.1 ? 2 : 1) + " \u00c5 (largest " + num(rmax, 1) + " \u00c5)",
             "text-anchor=\"end\" fill=\"#a00\"");
  svg.text(18, (top1 + bottom1) / 2, "RMSF (\u00c5)",
           "text-anchor=\"middle\" transform=\"rotate(-90 18 " + num((top1 + bottom1) / 2) + ")\"");
  svg.text(18, (top2 + bottom2) / 2, "order parameter",
           "text-anchor=\"middle\" transform=\"rotate(-90 18 " + num((top2 + bottom2) / 2) + ")\"");
  const std::string phi_style = std::string("fill=\"none\" stroke=\"") + phi_colour + "\" stroke-width=\"1.5\"";
  const std::string psi_style =
      std::string("fill=\"none\" stroke=\"") + psi_colour + "\" stroke-width=\"1.5\" stroke-dasharray=\"5,3\"";
  svg.line(col.end - 160, top2 - 12, col.end - 136, top2 - 12, phi_style);
  svg.text(col.end - 130, top2 - 8, "S(\u03c6)");
  svg.line(col.end - 84, top2 - 12, col.end - 60, top2 - 12, psi_style);
  svg.text(col.end - 54, top2 - 8, "S(\u03c8)");

  // RMSF: bars while a column is wide enough to tell them apart, a line beyond.
  const bool bars = col.width >= 4;
  std::vector<std::optional<std::pair<double, double>>> rmsf_points, phi_points, psi_points;
  for (std::size_t i = 0; i < n; ++i) {
    const ResidueProfile& p = res[i];
    const double centre = col.x[i] + col.width / 2;
    if (i > 0 && col.break_before[i]) {
      rmsf_points.emplace_back();
      phi_points.emplace_back();
      psi_points.emplace_back();
    }
    if (bars && p.rmsf) {
      const std::string tip = p.id + " " + p.name + ": RMSF " + num(*p.rmsf, 2) + " \u00c5";
      svg.rect(col.x[i] + col.width * 0.1, ry(*p.rmsf), col.width * 0.8, bottom1 - ry(*p.rmsf), "fill=\"#555\"", tip);
    }
    if (p.rmsf && *p.rmsf > rtop)
      svg.add("<path d=\"M" + num(centre - 4) + "," + num(top1 + 1) + " l4,-7 l4,7 z\" fill=\"#a00\"/>");
    // Markers where the columns are wide: the two lines often lie on top of each other at 1.
    if (col.width >= 8 && p.s_phi)
      svg.add("<circle cx=\"" + num(centre) + "\" cy=\"" + num(sy(*p.s_phi)) + "\" r=\"2.2\" fill=\"" + phi_colour +
              "\"/>");
    if (col.width >= 8 && p.s_psi)
      svg.rect(centre - 3.5, sy(*p.s_psi) - 3.5, 7, 7, std::string("fill=\"none\" stroke=\"") + psi_colour + "\"");
    rmsf_points.push_back(p.rmsf ? std::optional(std::pair(centre, ry(*p.rmsf))) : std::nullopt);
    phi_points.push_back(p.s_phi ? std::optional(std::pair(centre, sy(*p.s_phi))) : std::nullopt);
    psi_points.push_back(p.s_psi ? std::optional(std::pair(centre, sy(*p.s_psi))) : std::nullopt);
  }
  if (!bars) svg.series(rmsf_points, "fill=\"none\" stroke=\"#333\" stroke-width=\"1.3\"");
  svg.series(phi_points, phi_style);
  svg.series(psi_points, psi_style);

  // Residue axis: numbers thinned to a readable spacing, chains named below, breaks marked.
  const std::string axis = "stroke=\"#333\" stroke-width=\"1\"";
  const int step = int(nice_step(std::max(1.0, label_spacing / col.width)));
  for (const double base : {bottom1, bottom2}) {
    for (std::size_t i = 0; i < n;) {
      std::size_t j = i + 1;
      while (j < n && !col.break_before[j]) ++j;
      svg.line(col.x[i], base, col.x[j - 1] + col.width, base, axis);
      if (i > 0)  // the break: two slanted strokes
        for (const double dx : {-4.0, 0.0}) svg.line(col.x[i] + dx - 2, base + 5, col.x[i] + dx + 2, base - 5, axis);
      i = j;
    }
  }
  double last_label = -1e9;
  for (std::size_t i = 0; i < n; ++i) {
    const std::optional<int> number = split_id(res[i].id).second;
    const double centre = col.x[i] + col.width / 2;
    const bool first_of_block = i == 0 || col.break_before[i];
    if (!number || (*number % step != 0 && !first_of_block) || centre - last_label < label_spacing) continue;
    svg.line(centre, bottom2, centre, bottom2 + 4, axis);
    svg.line(centre, bottom1, centre, bottom1 + 4, axis);
    svg.text(centre, bottom2 + 17, std::to_string(*number), "text-anchor=\"middle\"");
    last_label = centre;
  }
  for (std::size_t i = 0; i < n;) {
    std::size_t j = i + 1;
    const std::string chain = split_id(res[i].id).first;
    while (j < n && split_id(res[j].id).first == chain) ++j;
    const double x0 = col.x[i], x1 = col.x[j - 1] + col.width;
    svg.line(x0 + 1, bottom2 + 26, x1 - 1, bottom2 + 26, "stroke=\"#888\" stroke-width=\"1\"");
    svg.text((x0 + x1) / 2, bottom2 + 40, "chain " + chain, "text-anchor=\"middle\" fill=\"#444\"");
    i = j;
  }
  svg.text(col.end, bottom2 + 56, "residue", "text-anchor=\"end\" fill=\"#444\"");
  return svg.document(width, height);
}

}  // namespace veldrix
