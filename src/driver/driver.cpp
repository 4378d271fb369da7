// The command-line driver.
#include "driver/driver.hpp"

#include <cstdlib>

#include "command/message.hpp"
#include "command/params.hpp"
#include "command/praxel.hpp"
#include "driver/run_script.hpp"
#include "input/getcor.hpp"
#include "input/readf.hpp"
#include "molecule/vokandata.hpp"
#include "rmsd_var/state.hpp"
#include "select/select.hpp"
#include "util/profile.hpp"
#include "util/text.hpp"

namespace veldrix {

namespace {

bool is_number_char(char c) { return (c >= '0' && c <= '9') || c == '.'; }

[[noreturn]] void not_a_number(const std::string& value) {
  fatmsg(strq(std::string(rtrim(value))) + " is not a valid number.");
}

// A value of digits with exactly one decimal point and at least one digit.
double read_real(const std::string& value) {
  const std::string_view v = rtrim(value);
  int points = 0, digits = 0;
  for (char c : v) {
    if (c == '.') ++points;
    else if (c >= '0' && c <= '9') ++digits;
    else not_a_number(value);
  }
  if (points != 1 || digits == 0) not_a_number(value);
  return std::strtod(std::string(v).c_str(), nullptr);
}

// A value of digits only that fits a 32-bit integer.
int read_integer(const std::string& value) {
  const std::string_view v = rtrim(value);
  long long n = 0;
  for (char c : v) {
    if (c < '0' || c > '9') not_a_number(value);
    n = n * 10 + (c - '0');
    if (n > 2147483647LL) not_a_number(value);
  }
  if (v.empty()) not_a_number(value);
  return int(n);
}

void set_real(std::string_view flag, const std::string& value, double& target) {
  if (value.find('.') == std::string::npos) {
    const char* name = flag == "-g" ? "gap (-g)" : flag == "-d" ? "decrease (-d)"
                     : flag == "-a" ? "absdecrease (-a)" : "upper RMSD (-u)";
    fatmsg(strq(name) + " must be a real number!");
  }
  target = read_real(value);
}

void set_integer(std::string_view flag, const std::string& value, int& target) {
  if (value.find('.') != std::string::npos) {
    const char* name = flag == "-b" ? "buffer (-b)" : flag == "-m" ? "minimum (-m)" : "gapwidth (-gw)";
    fatmsg(strq(name) + " must be an integer!");
  }
  target = read_integer(value);
}

[[noreturn]] void usage() {
  putlin(10, "@/*** No input file was provided! ***@/    Usage: veldrix [PARAMETERS] <input file>"
             "@/    Use \"veldrix -h\" for a help overview.@/");
  stopit(1);
}

}  // namespace

void crhelp() {
  static constexpr const char* lines[] = {
      "@/  ****************** VELDRIX HELP ******************",
      "@/      Usage: veldrix [PARAMETERS] <input file>@/ ",
      "        The input file must be in PDB format.@/",
      "   Optional Parameters (default values are given):",
      "    -a: absdecrease (real; 1.6)",
      "    -b: buffer (integer; 3)",
      "    -d: decrease (real; 1.2)",
      "    -g: gap (real; 0.4)",
      "    -u: RMSD threshold (real; 0.1)",
      "   -gw: gap width (integer; 3)",
      "    -l: path to custom library file (internal lib)",
      "    -m: minimum cluster size (integer; 8)",
      "    -r: residue range (all residues)",
      "@/   EXAMPLE: veldrix -g 0.3 -r 1-40,60-90 prot.pdb@/",
      "  **************************************************@/ ",
  };
  for (const char* line : lines) putlin(10, line);
  stopit(0);
}

DriverState read_arguments(const std::vector<std::string>& args, const std::optional<std::string>& libenv) {
  DriverState st;
  if (libenv) st.libpath = *libenv;
  const int n = int(args.size());
  if (n == 0) usage();
  if (n == 1) {
    st.pdbpath = args[0];
    if (args[0] == "-h") crhelp();
  } else {
    for (int i = 1; i <= n - 1; i += 2) {
      const std::string flag = field(args[i - 1], 3);
      const std::string& value = args[i];
      if (flag != "-h" && i + 1 == n) fatmsg("The number of flags must be equal to the number of arguments!");
      if (flag != "-r" && flag != "-l" && flag != "-h") {
        for (char c : rtrim(value))
          if (!is_number_char(c)) fatmsg(strq(std::string(rtrim(value))) + " is not a valid argument.");
      }
      if (flag == "-l") {
        st.libpath = value;
      } else if (flag == "-g") {
        set_real(flag, value, st.gap);
      } else if (flag == "-d") {
        set_real(flag, value, st.decrease);
      } else if (flag == "-a") {
        set_real(flag, value, st.absdecrease);
      } else if (flag == "-u") {
        set_real(flag, value, st.upper_rmsd);
      } else if (flag == "-b") {
        set_integer(flag, value, st.buffer);
      } else if (flag == "-m") {
        set_integer(flag, value, st.minimum);
      } else if (flag == "-gw") {
        set_integer(flag, value, st.gapwidth);
      } else if (flag == "-r") {
        st.res_range = value == "ALL" || value == "all" ? "ALL" : ":" + value;
      } else if (flag == "-h") {
        crhelp();
      } else {
        fatmsg("Flag " + strq(flag) + " is invalid. Use \"-h\" to get a list of allowed flags.");
      }
    }
    st.pdbpath = args[n - 1];
  }
  if (is_blank(st.pdbpath)) fatmsg("No input data was provided!");
  return st;
}

void reset_modules() {
  reset_printdata();
  reset_interpreter();
  paramdata = ParamData{};
  vokandata = VokanData{};
  reset_select();
  reset_pdbread();
  reset_readdata();
  reset_rmsd_var();
  profile = Profile{};
}

void vokan(const std::vector<std::string>& args, const std::optional<std::string>& libenv) {
  const DriverState st = read_arguments(args, libenv);
  run_script(st);
}

}  // namespace veldrix
