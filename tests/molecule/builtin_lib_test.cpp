// The built-in residue library: layout, reference blocks, residue content and standard geometry.
//
// The expectations are encoded here on their own (the residue table with header values,
// angle definitions, atom names and types; standard bond lengths by atom-type pair) and
// checked against the raw table through a small token parser.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "molecule/lib_in_code.hpp"
#include "molecule/library.hpp"
#include "molecule/vokandata.hpp"
#include "test_support.hpp"
#include "util/text.hpp"

namespace veldrix {
namespace {

// ------------------------------------------------------------------ expected content

struct ExpectedResidue {
  const char* name;
  int header_line, ndih, nat, first, last;
  const char* angles;  // "NAME (a1,a2,a3,a4; last); ..."
  const char* atoms;   // "NAME:TYPE ..." in block order
};

const ExpectedResidue kExpected[] = {
    {"ALA", 23, 4, 14, 3, 13,
     "OMEGA (2,1,3,4; 0); PHI (1,3,5,12; 0); CHI1 (3,5,8,9; 11); PSI (3,5,12,14; 0)",
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI QB:PSEUD CB:C_ALI HB1:H_ALI HB2:H_ALI "
     "HB3:H_ALI C:C_BYL O:O_BYL N:N_AMI"},
    {"ARG", 42, 7, 32, 3, 31,
     "OMEGA (2,1,3,4; 0); PHI (1,3,5,30; 0); CHI1 (3,5,7,11; 29); CHI2 (5,7,11,15; 29); CHI3 "
     "(7,11,15,19; 29); CHI4 (11,15,19,21; 29); PSI (3,5,30,32; 0)",
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "CG:C_ALI HG2:H_ALI HG3:H_ALI QG:PSEUD CD:C_ALI HD2:H_ALI HD3:H_ALI QD:PSEUD NE:N_AMI "
     "HE:H_AMI CZ:C_VIN NH1:N_AMO HH11:H_AMI HH12:H_AMI QH1:PSEUD NH2:N_AMO HH21:H_AMI "
     "HH22:H_AMI QH2:PSEUD C:C_BYL O:O_BYL N:N_AMI"},
    {"ASN", 82, 5, 19, 3, 18,
     "OMEGA (2,1,3,4; 0); PHI (1,3,5,17; 0); CHI1 (3,5,7,11; 16); CHI2 (5,7,11,12; 16); PSI "
     "(3,5,17,19; 0)",
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "CG:C_BYL OD1:O_BYL ND2:N_AMI HD21:H_AMI HD22:H_AMI QD2:PSEUD C:C_BYL O:O_BYL N:N_AMI"},
    {"ASP", 107, 5, 16, 3, 15,
     "OMEGA (2,1,3,4; 0); PHI (1,3,5,14; 0); CHI1 (3,5,7,11; 13); CHI2 (5,7,11,12; 13); PSI "
     "(3,5,14,16; 0)",
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "CG:C_BYL OD1:O_BYL OD2:O_BYL C:C_BYL O:O_BYL N:N_AMI"},
    {"CYS", 129, 5, 15, 3, 14,
     "OMEGA (2,1,3,4; 0); PHI (1,3,5,13; 0); CHI1 (3,5,7,11; 12); CHI2 (5,7,11,12; 12); PSI "
     "(3,5,13,15; 0)",
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "SG:S_RED HG:H_SUL C:C_BYL O:O_BYL N:N_AMI"},
    {"CYSS", 150, 4, 14, 3, 13,
     "OMEGA (2,1,3,4; 0); PHI (1,3,5,12; 0); CHI1 (3,5,7,11; 11); PSI (3,5,12,14; 0)",
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "SG:S_OXY C:C_BYL O:O_BYL N:N_AMI"},
    {"GLN", 169, 6, 23, 3, 22,
     "OMEGA (2,1,3,4; 0); PHI (1,3,5,21; 0); CHI1 (3,5,7,11; 20); CHI2 (5,7,11,15; 20); CHI3 "
     "(7,11,15,16; 20); PSI (3,5,21,23; 0)",
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "CG:C_ALI HG2:H_ALI HG3:H_ALI QG:PSEUD CD:C_BYL OE1:O_BYL NE2:N_AMI HE21:H_AMI HE22:H_AMI "
     "QE2:PSEUD C:C_BYL O:O_BYL N:N_AMI"},
    {"GLU", 199, 6, 20, 3, 19,
     "OMEGA (2,1,3,4; 0); PHI (1,3,5,18; 0); CHI1 (3,5,7,11; 17); CHI2 (5,7,11,15; 17); CHI3 "
     "(7,11,15,16; 17); PSI (3,5,18,20; 0)",
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "CG:C_ALI HG2:H_ALI HG3:H_ALI QG:PSEUD CD:C_BYL OE1:O_BYL OE2:O_BYL C:C_BYL O:O_BYL "
     "N:N_AMI"},
    {"GLY", 226, 3, 11, 3, 10,
     "OMEGA (2,1,3,4; 0); PHI (1,3,5,9; 0); PSI (3,5,9,11; 0)",
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA2:H_ALI HA3:H_ALI QA:PSEUD C:C_BYL O:O_BYL "
     "N:N_AMI"},
    {"HIS", 241, 5, 21, 3, 20,
     "OMEGA (2,1,3,4; 0); PHI (1,3,5,19; 0); CHI1 (3,5,7,11; 18); CHI2 (5,7,11,12; 18); PSI "
     "(3,5,19,21; 0)",
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "CG:C_VIN ND1:N_AMO CD2:C_ARO HD1:H_AMI CE1:C_ARO NE2:N_AMO HD2:H_ARO HE1:H_ARO C:C_BYL "
     "O:O_BYL N:N_AMI"},
    {"ILE", 268, 7, 25, 3, 24,
     "OMEGA (2,1,3,4; 0); PHI (1,3,5,23; 0); CHI1 (3,5,7,14; 22); CHI22 (5,7,10,11; 13); CHI21 "
     "(5,7,14,19; 22); CHI31 (7,14,19,20; 22); PSI (3,5,23,25; 0)",
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB:H_ALI QG2:PSEUD CG2:C_ALI "
     "HG21:H_ALI HG22:H_ALI HG23:H_ALI CG1:C_ALI HG12:H_ALI HG13:H_ALI QG1:PSEUD QD1:PSEUD "
     "CD1:C_ALI HD11:H_ALI HD12:H_ALI HD13:H_ALI C:C_BYL O:O_BYL N:N_AMI"},
    {"LEU", 301, 7, 26, 3, 25,
     "OMEGA (2,1,3,4; 0); PHI (1,3,5,24; 0); CHI1 (3,5,7,11; 23); CHI2 (5,7,11,15; 23); CHI31 "
     "(7,11,15,16; 18); CHI32 (7,11,19,20; 22); PSI (3,5,24,26; 0)",
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "CG:C_ALI HG:H_ALI QD1:PSEUD QD2:PSEUD CD1:C_ALI HD11:H_ALI HD12:H_ALI HD13:H_ALI "
     "CD2:C_ALI HD21:H_ALI HD22:H_ALI HD23:H_ALI QQD:PSEUD C:C_BYL O:O_BYL N:N_AMI"},
    {"LYS", 335, 8, 30, 3, 29,
     "OMEGA (2,1,3,4; 0); PHI (1,3,5,28; 0); CHI1 (3,5,7,11; 27); CHI2 (5,7,11,15; 27); CHI3 "
     "(7,11,15,19; 27); CHI4 (11,15,19,23; 27); CHI5 (15,19,23,24; 27); PSI (3,5,28,30; 0)",
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "CG:C_ALI HG2:H_ALI HG3:H_ALI QG:PSEUD CD:C_ALI HD2:H_ALI HD3:H_ALI QD:PSEUD CE:C_ALI "
     "HE2:H_ALI HE3:H_ALI QE:PSEUD NZ:N_AMO HZ1:H_AMI HZ2:H_AMI HZ3:H_AMI QZ:PSEUD C:C_BYL "
     "O:O_BYL N:N_AMI"},
    {"MET", 374, 7, 23, 3, 22,
     "OMEGA (2,1,3,4; 0); PHI (1,3,5,21; 0); CHI1 (3,5,7,11; 20); CHI2 (5,7,11,15; 20); CHI3 "
     "(7,11,15,17; 20); CHI4 (11,15,17,18; 20); PSI (3,5,21,23; 0)",
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "CG:C_ALI HG2:H_ALI HG3:H_ALI QG:PSEUD SD:S_RED QE:PSEUD CE:C_ALI HE1:H_ALI HE2:H_ALI "
     "HE3:H_ALI C:C_BYL O:O_BYL N:N_AMI"},
    {"PHE", 405, 5, 27, 3, 26,
     "OMEGA (2,1,3,4; 0); PHI (1,3,5,25; 0); CHI1 (3,5,7,14; 24); CHI2 (5,7,14,15; 24); PSI "
     "(3,5,25,27; 0)",
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "QD:PSEUD QE:PSEUD QR:PSEUD CG:C_VIN CD1:C_ARO HD1:H_ARO CE1:C_ARO HE1:H_ARO CZ:C_ARO "
     "HZ:H_ARO CE2:C_ARO HE2:H_ARO CD2:C_ARO HD2:H_ARO C:C_BYL O:O_BYL N:N_AMI"},
    {"PRO", 438, 2, 20, 3, 19,
     "OMEGA (2,1,3,4; 0); PSI (3,5,18,20; 0)",
     "C:C_BYL O:O_BYL N:N_AMI CD:C_ALI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "CG:C_ALI HG2:H_ALI HG3:H_ALI QG:PSEUD HD2:H_ALI HD3:H_ALI QD:PSEUD C:C_BYL O:O_BYL "
     "N:N_AMI"},
    {"SER", 461, 5, 15, 3, 14,
     "OMEGA (2,1,3,4; 0); PHI (1,3,5,13; 0); CHI1 (3,5,7,11; 12); CHI2 (5,7,11,12; 12); PSI "
     "(3,5,13,15; 0)",
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "OG:O_HYD HG:H_OXY C:C_BYL O:O_BYL N:N_AMI"},
    {"THR", 482, 6, 18, 3, 17,
     "OMEGA (2,1,3,4; 0); PHI (1,3,5,16; 0); CHI1 (3,5,7,10; 15); CHI21 (5,7,10,11; 11); CHI22 "
     "(5,7,12,13; 15); PSI (3,5,16,18; 0)",
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB:H_ALI QG2:PSEUD OG1:O_HYD "
     "HG1:H_OXY CG2:C_ALI HG21:H_ALI HG22:H_ALI HG23:H_ALI C:C_BYL O:O_BYL N:N_AMI"},
    {"TRP", 507, 5, 28, 3, 27,
     "OMEGA (2,1,3,4; 0); PHI (1,3,5,26; 0); CHI1 (3,5,7,11; 25); CHI2 (5,7,11,12; 25); PSI "
     "(3,5,26,28; 0)",
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "CG:C_VIN CD1:C_ARO CD2:C_VIN CE3:C_ARO CE2:C_VIN NE1:N_AMI HD1:H_ARO HE3:H_ARO CZ3:C_ARO "
     "CZ2:C_ARO HE1:H_AMI HZ3:H_ARO CH2:C_ARO HZ2:H_ARO HH2:H_ARO C:C_BYL O:O_BYL N:N_AMI"},
    {"TYR", 541, 6, 28, 3, 27,
     "OMEGA (2,1,3,4; 0); PHI (1,3,5,26; 0); CHI1 (3,5,7,14; 25); CHI2 (5,7,14,15; 25); CHI6 "
     "(17,19,24,25; 25); PSI (3,5,26,28; 0)",
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "QD:PSEUD QE:PSEUD QR:PSEUD CG:C_VIN CD1:C_ARO HD1:H_ARO CE1:C_ARO HE1:H_ARO CZ:C_VIN "
     "CE2:C_ARO HE2:H_ARO CD2:C_ARO HD2:H_ARO OH:O_HYD HH:H_OXY C:C_BYL O:O_BYL N:N_AMI"},
    {"VAL", 576, 6, 22, 3, 21,
     "OMEGA (2,1,3,4; 0); PHI (1,3,5,20; 0); CHI1 (3,5,7,11; 19); CHI21 (5,7,11,12; 14); CHI22 "
     "(5,7,15,16; 18); PSI (3,5,20,22; 0)",
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB:H_ALI QG1:PSEUD QG2:PSEUD "
     "CG1:C_ALI HG11:H_ALI HG12:H_ALI HG13:H_ALI CG2:C_ALI HG21:H_ALI HG22:H_ALI HG23:H_ALI "
     "QQG:PSEUD C:C_BYL O:O_BYL N:N_AMI"},
    {"ADE", 605, 9, 38, 3, 37,
     "ZETA (1,2,3,6; 0); ALPHA (2,3,6,7; 0); BETA (3,6,7,11; 0); GAMMA (6,7,11,13; 0); DELTA "
     "(7,11,13,37; 0); NU2 (11,13,15,19; 36); NU1 (13,15,19,21; 36); CHI (21,19,22,23; 36); "
     "EPSI (11,13,37,38; 0)",
     "C3':C_ALI O3':O_EST P:P_ALI OP1:O_BYL OP2:O_BYL O5':O_EST C5':C_ALI H5':H_ALI H5\":H_ALI "
     "Q5':PSEUD C4':C_ALI H4':H_ALI C3':C_ALI H3':H_ALI C2':C_ALI H2':H_ALI H2\":H_ALI "
     "Q2':PSEUD C1':C_ALI H1':H_ALI O4':O_EST N9:N_AMI C4:C_ARO N3:N_AMI C2:C_ARO H2:H_ARO "
     "N1:N_AMI C6:C_ARO N6:N_AMI H61:H_AMI H62:H_AMI Q6:PSEUD C5:C_ARO N7:N_AMI C8:C_ARO "
     "H8:H_ARO O3':O_EST P:P_ALI"},
    {"RADE", 653, 10, 38, 3, 37,
     "ZETA (1,2,3,6; 0); ALPHA (2,3,6,7; 0); BETA (3,6,7,11; 0); GAMMA (6,7,11,13; 0); DELTA "
     "(7,11,13,37; 0); NU2 (11,13,15,19; 36); HOXI (13,15,17,18; 18); NU1 (13,15,19,21; 36); "
     "CHI (21,19,22,23; 36); EPSI (11,13,37,38; 0)",
     "C3':C_ALI O3':O_EST P:P_ALI OP1:O_BYL OP2:O_BYL O5':O_EST C5':C_ALI H5':H_ALI H5\":H_ALI "
     "Q5':PSEUD C4':C_ALI H4':H_ALI C3':C_ALI H3':H_ALI C2':C_ALI H2':H_ALI O2':O_HYD "
     "HO2':H_OXY C1':C_ALI H1':H_ALI O4':O_EST N9:N_AMI C4:C_ARO N3:N_AMI C2:C_ARO H2:H_ARO "
     "N1:N_AMI C6:C_ARO N6:N_AMI H61:H_AMI H62:H_AMI Q6:PSEUD C5:C_ARO N7:N_AMI C8:C_ARO "
     "H8:H_ARO O3':O_EST P:P_ALI"},
    {"CYT", 702, 9, 36, 3, 35,
     "ZETA (1,2,3,6; 0); ALPHA (2,3,6,7; 0); BETA (3,6,7,11; 0); GAMMA (6,7,11,13; 0); DELTA "
     "(7,11,13,35; 0); NU2 (11,13,15,19; 34); NU1 (13,15,19,21; 34); CHI (21,19,22,23; 34); "
     "EPSI (11,13,35,36; 0)",
     "C3':C_ALI O3':O_EST P:P_ALI OP1:O_BYL OP2:O_BYL O5':O_EST C5':C_ALI H5':H_ALI H5\":H_ALI "
     "Q5':PSEUD C4':C_ALI H4':H_ALI C3':C_ALI H3':H_ALI C2':C_ALI H2':H_ALI H2\":H_ALI "
     "Q2':PSEUD C1':C_ALI H1':H_ALI O4':O_EST N1:N_AMI C2:C_ARO O2:O_BYL N3:N_AMI C4:C_ARO "
     "N4:N_AMI H41:H_AMI H42:H_AMI Q4:PSEUD C5:C_ARO H5:H_ARO C6:C_ARO H6:H_ARO O3':O_EST "
     "P:P_ALI"},
    {"RCYT", 748, 10, 36, 3, 35,
     "ZETA (1,2,3,6; 0); ALPHA (2,3,6,7; 0); BETA (3,6,7,11; 0); GAMMA (6,7,11,13; 0); DELTA "
     "(7,11,13,35; 0); NU2 (11,13,15,19; 34); HOXI (13,15,17,18; 18); NU1 (13,15,19,21; 34); "
     "CHI (21,19,22,23; 34); EPSI (11,13,35,36; 0)",
     "C3':C_ALI O3':O_EST P:P_ALI OP1:O_BYL OP2:O_BYL O5':O_EST C5':C_ALI H5':H_ALI H5\":H_ALI "
     "Q5':PSEUD C4':C_ALI H4':H_ALI C3':C_ALI H3':H_ALI C2':C_ALI H2':H_ALI O2':O_HYD "
     "HO2':H_OXY C1':C_ALI H1':H_ALI O4':O_EST N1:N_AMI C2:C_ARO O2:O_BYL N3:N_AMI C4:C_ARO "
     "N4:N_AMI H41:H_AMI H42:H_AMI Q4:PSEUD C5:C_ARO H5:H_ARO C6:C_ARO H6:H_ARO O3':O_EST "
     "P:P_ALI"},
    {"GUA", 795, 9, 39, 3, 38,
     "ZETA (1,2,3,6; 0); ALPHA (2,3,6,7; 0); BETA (3,6,7,11; 0); GAMMA (6,7,11,13; 0); DELTA "
     "(7,11,13,38; 0); NU2 (11,13,15,19; 37); NU1 (13,15,19,21; 37); CHI (21,19,22,23; 37); "
     "EPSI (11,13,38,39; 0)",
     "C3':C_ALI O3':O_EST P:P_ALI OP1:O_BYL OP2:O_BYL O5':O_EST C5':C_ALI H5':H_ALI H5\":H_ALI "
     "Q5':PSEUD C4':C_ALI H4':H_ALI C3':C_ALI H3':H_ALI C2':C_ALI H2':H_ALI H2\":H_ALI "
     "Q2':PSEUD C1':C_ALI H1':H_ALI O4':O_EST N9:N_AMI C4:C_ARO N3:N_AMI C2:C_ARO N2:N_AMI "
     "H21:H_AMI H22:H_AMI Q2:PSEUD N1:N_AMI H1:H_AMI C6:C_ARO O6:O_BYL C5:C_ARO N7:N_AMI "
     "C8:C_ARO H8:H_ARO O3':O_EST P:P_ALI"},
    {"RGUA", 844, 10, 39, 3, 38,
     "ZETA (1,2,3,6; 0); ALPHA (2,3,6,7; 0); BETA (3,6,7,11; 0); GAMMA (6,7,11,13; 0); DELTA "
     "(7,11,13,38; 0); NU2 (11,13,15,19; 37); HOXI (13,15,17,18; 18); NU1 (13,15,19,21; 37); "
     "CHI (21,19,22,23; 37); EPSI (11,13,38,39; 0)",
     "C3':C_ALI O3':O_EST P:P_ALI OP1:O_BYL OP2:O_BYL O5':O_EST C5':C_ALI H5':H_ALI H5\":H_ALI "
     "Q5':PSEUD C4':C_ALI H4':H_ALI C3':C_ALI H3':H_ALI C2':C_ALI H2':H_ALI O2':O_HYD "
     "HO2':H_OXY C1':C_ALI H1':H_ALI O4':O_EST N9:N_AMI C4:C_ARO N3:N_AMI C2:C_ARO N2:N_AMI "
     "H21:H_AMI H22:H_AMI Q2:PSEUD N1:N_AMI H1:H_AMI C6:C_ARO O6:O_BYL C5:C_ARO N7:N_AMI "
     "C8:C_ARO H8:H_ARO O3':O_EST P:P_ALI"},
    {"THY", 894, 10, 38, 3, 37,
     "ZETA (1,2,3,6; 0); ALPHA (2,3,6,7; 0); BETA (3,6,7,11; 0); GAMMA (6,7,11,13; 0); DELTA "
     "(7,11,13,37; 0); NU2 (11,13,15,19; 36); NU1 (13,15,19,21; 36); CHI (21,19,22,23; 36); "
     "CHI2 (27,29,30,31; 33); EPSI (11,13,37,38; 0)",
     "C3':C_ALI O3':O_EST P:P_ALI OP1:O_BYL OP2:O_BYL O5':O_EST C5':C_ALI H5':H_ALI H5\":H_ALI "
     "Q5':PSEUD C4':C_ALI H4':H_ALI C3':C_ALI H3':H_ALI C2':C_ALI H2':H_ALI H2\":H_ALI "
     "Q2':PSEUD C1':C_ALI H1':H_ALI O4':O_EST N1:N_AMI C2:C_ARO O2:O_BYL N3:N_AMI H3:H_AMI "
     "C4:C_ARO O4:O_BYL C5:C_ARO C7:C_ALI H71:H_ALI H72:H_ALI H73:H_ALI Q7:PSEUD C6:C_ARO "
     "H6:H_ARO O3':O_EST P:P_ALI"},
    {"URA", 943, 10, 34, 3, 33,
     "ZETA (1,2,3,6; 0); ALPHA (2,3,6,7; 0); BETA (3,6,7,11; 0); GAMMA (6,7,11,13; 0); DELTA "
     "(7,11,13,33; 0); NU2 (11,13,15,19; 32); HOXI (13,15,17,18; 18); NU1 (13,15,19,21; 32); "
     "CHI (21,19,22,23; 32); EPSI (11,13,33,34; 0)",
     "C3':C_ALI O3':O_EST P:P_ALI OP1:O_BYL OP2:O_BYL O5':O_EST C5':C_ALI H5':H_ALI H5\":H_ALI "
     "Q5':PSEUD C4':C_ALI H4':H_ALI C3':C_ALI H3':H_ALI C2':C_ALI H2':H_ALI O2':O_HYD "
     "HO2':H_OXY C1':C_ALI H1':H_ALI O4':O_EST N1:N_AMI C2:C_ARO O2:O_BYL N3:N_AMI H3:H_AMI "
     "C4:C_ARO O4:O_BYL C5:C_ARO H5:H_ARO C6:C_ARO H6:H_ARO O3':O_EST P:P_ALI"},
    {"PL", 988, 1, 6, 3, 5,
     "LB (2,3,4,5; 0)",
     "C:DUMMY O:DUMMY N:DUMMY Q1:DUMMY Q2:DUMMY Q3:DUMMY"},
    {"NL", 996, 1, 6, 3, 5,
     "LB (2,3,4,5; 0)",
     "C3':DUMMY O3':DUMMY P:DUMMY Q1:DUMMY Q2:DUMMY Q3:DUMMY"},
    {"LL", 1004, 1, 6, 3, 5,
     "LB (2,3,4,5; 0)",
     "Q1:DUMMY Q2:DUMMY Q3:DUMMY Q1:DUMMY Q2:DUMMY Q3:DUMMY"},
    {"LL2", 1012, 1, 6, 3, 5,
     "LB (2,3,4,5; 0)",
     "Q1:DUMMY Q2:DUMMY Q3:DUMMY Q1:DUMMY Q2:DUMMY Q3:DUMMY"},
    {"LL5", 1020, 1, 6, 3, 5,
     "LB (2,3,4,5; 0)",
     "Q1:DUMMY Q2:DUMMY Q3:DUMMY Q1:DUMMY Q2:DUMMY Q3:DUMMY"},
    {"LP", 1028, 1, 6, 3, 5,
     "LB (2,3,4,5; 0)",
     "Q1:DUMMY Q2:DUMMY Q3:DUMMY C:DUMMY O:DUMMY N:DUMMY"},
    {"LN", 1036, 1, 6, 3, 5,
     "LB (2,3,4,5; 0)",
     "Q1:DUMMY Q2:DUMMY Q3:DUMMY C3':DUMMY O3':DUMMY P:DUMMY"},
    {"ION", 1044, 1, 7, 3, 6,
     "LB (2,3,5,6; 0)",
     "Q1:DUMMY Q2:DUMMY Q3:DUMMY ME:METAL Q1:DUMMY Q2:DUMMY Q3:DUMMY"},
    {"ORI", 1053, 1, 10, 3, 9,
     "LB (2,3,4,8; 0)",
     "Q1:DUMMY Q2:DUMMY Q3:DUMMY A0:DUMMY AX:DUMMY AY:DUMMY AZ:DUMMY Q1:DUMMY Q2:DUMMY "
     "Q3:DUMMY"},
};

struct ExpectedAngle {
  std::string name;
  std::array<int, 4> at;
  int last;
};

std::vector<ExpectedAngle> expected_angles(const ExpectedResidue& e) {
  std::vector<ExpectedAngle> out;
  std::string s = e.angles;
  std::size_t pos = 0;
  while (pos < s.size()) {
    std::size_t open = s.find('(', pos), close = s.find(')', pos);
    ExpectedAngle a;
    a.name = std::string(trim(s.substr(pos, open - pos)));
    std::string inner = s.substr(open + 1, close - open - 1);
    std::replace(inner.begin(), inner.end(), ',', ' ');
    std::replace(inner.begin(), inner.end(), ';', ' ');
    std::istringstream in(inner);
    in >> a.at[0] >> a.at[1] >> a.at[2] >> a.at[3] >> a.last;
    out.push_back(a);
    pos = s.find(';', close);
    pos = pos == std::string::npos ? s.size() : pos + 1;
  }
  return out;
}

std::vector<std::pair<std::string, std::string>> expected_atoms(const ExpectedResidue& e) {
  std::vector<std::pair<std::string, std::string>> out;
  std::istringstream in(e.atoms);
  std::string tok;
  while (in >> tok) {
    auto c = tok.find(':');
    out.emplace_back(tok.substr(0, c), tok.substr(c + 1));
  }
  return out;
}

struct ExpectedType {
  const char* name;
  double radius;
  int hbond, element;
};

const ExpectedType kTypes[] = {
    {"PSEUD", -10.00, 0, 0}, {"H_ALI", 1.00, 0, 1},  {"H_AMI", 0.95, 1, 1},  {"H_ARO", 1.00, 0, 1},
    {"H_SUL", 1.00, 1, 1},   {"H_OXY", 1.00, 1, 1},  {"C_ALI", 1.60, 0, 6},  {"C_BYL", 1.50, 0, 6},
    {"C_ARO", 1.60, 0, 6},   {"C_VIN", 1.60, 0, 6},  {"N_AMI", 1.45, -1, 7}, {"N_AMO", 1.50, 0, 7},
    {"O_BYL", 1.30, -1, 8},  {"O_HYD", 1.30, -1, 8}, {"O_EST", 1.30, -1, 8}, {"S_OXY", 1.80, 0, 16},
    {"S_RED", 1.80, 0, 16},  {"P_ALI", 1.80, 0, 15}, {"METAL", 1.80, 0, 50}, {"DUMMY", -10.00, 0, 999},
};

const char* const kAlaBlock[] = {
    "RESIDUE   ALA      4   14    3   13",
    "   1 OMEGA    0    0    0.0000    2    1    3    4    0",
    "   2 PHI      0    0    0.0000    1    3    5   12    0",
    "   3 CHI1     0    0    0.0000    3    5    8    9   11",
    "   4 PSI      0    0    0.0000    3    5   12   14    0",
    "   1 C    C_BYL    0    0.0000    0.0000    0.0000    0.0000    2    3    0    0    0",
    "   2 O    O_BYL    0    0.0000   -0.6700    0.0000   -1.0322    1    0    0    0    0",
    "   3 N    N_AMI    0    0.0000    1.3290    0.0000    0.0000    1    4    5    0    0",
    "   4 H    H_AMI    0    0.0000    1.8069   -0.0007    0.8553    3    0    0    0    0",
    "   5 CA   C_ALI    0    0.0000    2.0929   -0.0011   -1.2414    3    6    8   12    0",
    "   6 HA   H_ALI    0    0.0000    2.7479   -0.8605   -1.2295    5    0    0    0    0",
    "   7 QB   PSEUD    0    0.0000    0.9384   -0.1665   -2.7175    0    0    0    0    0",
    "   8 CB   C_ALI    0    0.0000    1.1594   -0.1351   -2.4354    5    9   10   11    0",
    "   9 HB1  H_ALI    0    0.0000    0.1776    0.2265   -2.1659    8    0    0    0    7",
    "  10 HB2  H_ALI    0    0.0000    1.5440    0.4465   -3.2598    8    0    0    0    7",
    "  11 HB3  H_ALI    0    0.0000    1.0938   -1.1729   -2.7259    8    0    0    0    7",
    "  12 C    C_BYL    0    0.0000    2.9378    1.2621   -1.3672    5   13   14    0    0",
    "  13 O    O_BYL    0    0.0000    2.4397    2.3166   -1.7634   12    0    0    0    0",
    "  14 N    N_AMI    0    0.0000    4.2169    1.1488   -1.0273   12    0    0    0    0",
};

const char* const kPlBlock[] = {
    "RESIDUE   PL       1    6    3    5",
    "   1 LB       0    0    0.0000    2    3    4    5    0",
    "   1 C    DUMMY    0    0.0000    0.0000    0.0000    0.0000    0    0    0    0    0",
    "   2 O    DUMMY    0    0.0000   -0.6967    0.0000   -1.0137    0    0    0    0    0",
    "   3 N    DUMMY    0    0.0000    1.3249    0.0000    0.0000    0    0    0    0    0",
    "   4 Q1   DUMMY    0    0.0000    1.7732    0.0000   -0.8939    0    0    0    0    0",
    "   5 Q2   DUMMY    0    0.0000    2.6671    0.0000   -0.4457    0    0    0    0    0",
    "   6 Q3   DUMMY    0    0.0000    3.1153    0.0000   -1.3396    0    0    0    0    0",
};

const char* const kShiftHead[] = {
    "CSTABLE     410",
    "   1 ALA  N    21679  123.24    3.56   77.10  142.81",
    "   2 ALA  H    23992    8.20    0.60    3.53   11.48",
    "   3 ALA  CA   19703   53.16    1.97   44.22   65.52",
    "   4 ALA  HA   18269    4.26    0.44    1.24    6.51",
    "   5 ALA  QB   17243    1.36    0.25   -0.83    3.12",
};

// Standard bond lengths (A) by atom-type pair; where a pair covers bonds of different
// order (aromatic rings, bases) it has two values and a bond must match one of them.
const std::map<std::pair<std::string, std::string>, std::vector<double>> kHeavyBonds = {
    {{"C_ALI", "C_ALI"}, {1.52}},        {{"C_ALI", "C_BYL"}, {1.52}},        {{"C_ALI", "C_VIN"}, {1.50}},
    {{"C_ALI", "C_ARO"}, {1.50}},        {{"C_ALI", "N_AMI"}, {1.465}},       {{"C_ALI", "N_AMO"}, {1.49}},
    {{"C_ALI", "O_HYD"}, {1.42}},        {{"C_ALI", "O_EST"}, {1.43}},        {{"C_ALI", "S_RED"}, {1.80}},
    {{"C_ALI", "S_OXY"}, {1.81}},        {{"C_BYL", "O_BYL"}, {1.24}},        {{"C_BYL", "N_AMI"}, {1.33}},
    {{"C_VIN", "C_ARO"}, {1.375}},       {{"C_VIN", "C_VIN"}, {1.42}},        {{"C_ARO", "C_ARO"}, {1.36, 1.42}},
    {{"C_VIN", "N_AMO"}, {1.33, 1.37}},  {{"C_ARO", "N_AMO"}, {1.32, 1.37}},  {{"C_VIN", "N_AMI"}, {1.33, 1.37}},
    {{"C_ARO", "N_AMI"}, {1.33, 1.37}},  {{"C_ARO", "O_BYL"}, {1.23}},        {{"C_VIN", "O_HYD"}, {1.37}},
    {{"O_EST", "P_ALI"}, {1.60}},        {{"O_BYL", "P_ALI"}, {1.49}},
};
// Bonds to hydrogen by the element of the heavy atom.
const std::map<std::string, double> kHydrogenBonds = {{"C", 1.09}, {"N", 1.01}, {"O", 0.97}, {"S", 1.34}};

// ------------------------------------------------------------------ the table, parsed

struct Vec {
  double x = 0, y = 0, z = 0;
};
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec operator*(Vec a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double norm(Vec a) { return std::sqrt(dot(a, a)); }
double dist(Vec a, Vec b) { return norm(a - b); }
double torsion(Vec a, Vec b, Vec c, Vec d) {  // degrees
  Vec b2 = c - b, u = cross(b - a, b2), w = cross(b2, d - c);
  double t = std::acos(std::clamp(dot(u, w) / (norm(u) * norm(w)), -1.0, 1.0)) * 180.0 / M_PI;
  return dot(cross(u, w), b2) >= 0 ? t : -t;
}
// Rotation of p by deg degrees about the axis through a towards b.
Vec rotate(Vec p, Vec a, Vec b, double deg) {
  Vec k = (b - a) * (1.0 / dist(a, b)), v = p - a;
  double c = std::cos(deg * M_PI / 180), s = std::sin(deg * M_PI / 180);
  return a + v * c + cross(k, v) * s + k * (dot(k, v) * (1 - c));
}

struct LibAtom {
  std::string name, type;
  Vec pos;
  std::array<int, 4> bonds{};
  int pseudo = 0;
};

struct LibAngle {
  std::string name;
  std::array<int, 4> at{};
  int last = 0;
};

struct LibResidue {
  std::string name;
  int header_line = 0, first = 0, last = 0;
  std::vector<LibAngle> angles;
  std::vector<LibAtom> atoms;  // atoms[0] is atom 1
  const LibAtom& at(int i) const { return atoms.at(i - 1); }
  int nat() const { return static_cast<int>(atoms.size()); }
  int find(const std::string& name, int from = 1) const {  // first own or overlap atom of that name
    for (int i = from; i <= nat(); ++i)
      if (at(i).name == name) return i;
    return 0;
  }
};

std::vector<std::string> tokens(std::string_view line) {
  std::vector<std::string> t;
  std::istringstream in{std::string(line)};
  std::string s;
  while (in >> s) t.push_back(s);
  return t;
}

struct Library {
  std::map<std::string, int> element;  // by type name
  std::vector<LibResidue> residues;
  const LibResidue& residue(const std::string& name) const {
    for (const LibResidue& r : residues)
      if (r.name == name) return r;
    throw std::runtime_error("no residue " + name);
  }
};

const Library& library() {
  static const Library lib = [] {
    Library l;
    for (int i = 2; i <= 21; ++i) {
      auto t = tokens(internal_libfile(i));
      l.element[t.at(1)] = std::stoi(t.at(4));
    }
    int i = 23;
    while (i <= internal_libfile_lines && starts_with(internal_libfile(i), "RESIDUE")) {
      auto h = tokens(internal_libfile(i));
      LibResidue r;
      r.name = h.at(1);
      r.header_line = i;
      int ndih = std::stoi(h.at(2)), nat = std::stoi(h.at(3));
      r.first = std::stoi(h.at(4));
      r.last = std::stoi(h.at(5));
      for (int k = 1; k <= ndih; ++k) {
        auto t = tokens(internal_libfile(i + k));
        LibAngle a;
        a.name = t.at(1);
        for (int m = 0; m < 4; ++m) a.at[m] = std::stoi(t.at(5 + m));
        a.last = std::stoi(t.at(9));
        r.angles.push_back(a);
      }
      for (int k = 1; k <= nat; ++k) {
        auto t = tokens(internal_libfile(i + ndih + k));
        LibAtom a;
        a.name = t.at(1);
        a.type = t.at(2);
        a.pos = {std::stod(t.at(5)), std::stod(t.at(6)), std::stod(t.at(7))};
        for (int m = 0; m < 4; ++m) a.bonds[m] = std::stoi(t.at(8 + m));
        a.pseudo = std::stoi(t.at(12));
        r.atoms.push_back(a);
      }
      l.residues.push_back(r);
      i += 1 + ndih + nat;
    }
    return l;
  }();
  return lib;
}

bool is_linker(const LibResidue& r) {
  return std::all_of(r.atoms.begin(), r.atoms.end(),
                     [](const LibAtom& a) { return a.type == "DUMMY" || a.type == "METAL"; });
}
bool is_pseudo(const LibAtom& a) { return a.type == "PSEUD"; }
bool is_hydrogen(const LibAtom& a) { return a.type[0] == 'H'; }
bool is_amino_acid(const LibResidue& r) { return r.at(1).name == "C" && r.at(3).name == "N" && r.find("CA"); }
bool is_nucleotide(const LibResidue& r) { return r.at(1).name == "C3'" && r.find("C1'"); }

// Atoms reached from start in the bond graph without passing through the atoms in `stop`
// (pseudo atoms carry no bonds and are never reached); start itself is not included.
std::set<int> reach(const LibResidue& r, int start, const std::set<int>& stop,
                    const std::set<std::pair<int, int>>& cut = {}) {
  std::set<int> seen{start};
  std::vector<int> todo{start};
  while (!todo.empty()) {
    int a = todo.back();
    todo.pop_back();
    for (int b : r.at(a).bonds) {
      if (b == 0 || seen.count(b) || stop.count(b) || cut.count({std::min(a, b), std::max(a, b)})) continue;
      seen.insert(b);
      todo.push_back(b);
    }
  }
  seen.erase(start);
  return seen;
}

Vec centroid_of_members(const LibResidue& r, int q) {
  Vec sum;
  int n = 0;
  for (const LibAtom& a : r.atoms)
    if (a.pseudo == q) sum = sum + a.pos, ++n;
  return n ? sum * (1.0 / n) : Vec{1e9, 1e9, 1e9};
}

// ------------------------------------------------------------------ layout

TEST(BuiltinLibLayout, LinesAndSectionsSitWhereTheyBelong) {
  EXPECT_EQ(internal_libfile(0), "");
  EXPECT_EQ(internal_libfile(-3), "");
  EXPECT_EQ(internal_libfile(internal_libfile_lines + 1), "");
  EXPECT_EQ(internal_libfile_lines, 1475);
  EXPECT_EQ(internal_libfile(1), "ATOMTYPES    20      0.10");
  EXPECT_EQ(internal_libfile(22), "");
  EXPECT_EQ(internal_libfile(1065), "CSTABLE     410");
  for (int i = 1; i <= internal_libfile_lines; ++i) {
    std::string_view l = internal_libfile(i);
    EXPECT_LE(l.size(), 85u) << "line " << i;
    EXPECT_EQ(rtrim(l).size(), l.size()) << "trailing blanks on line " << i;
    EXPECT_EQ(l.find_first_of("\t#"), std::string_view::npos) << "line " << i;
    if (i != 22) {
      EXPECT_FALSE(l.empty()) << "line " << i;
    }
  }
}

TEST(BuiltinLibLayout, EveryResidueHeaderIsOnItsLineAndBlocksFollowEachOther) {
  std::vector<int> headers;
  for (int i = 1; i <= internal_libfile_lines; ++i)
    if (starts_with(internal_libfile(i), "RESIDUE")) headers.push_back(i);
  ASSERT_EQ(headers.size(), std::size(kExpected));
  int next = 23;
  for (std::size_t k = 0; k < headers.size(); ++k) {
    const ExpectedResidue& e = kExpected[k];
    EXPECT_EQ(headers[k], e.header_line) << e.name;
    EXPECT_EQ(headers[k], next) << e.name << " does not follow the previous block";
    auto t = tokens(internal_libfile(headers[k]));
    EXPECT_EQ(t.at(1), e.name);
    next = headers[k] + 1 + e.ndih + e.nat;
  }
  EXPECT_EQ(next, 1065);
}

TEST(BuiltinLibLayout, AtomTypeLinesHoldTheTypesInTheirColumns) {
  for (int k = 0; k < 20; ++k) {
    std::string_view l = internal_libfile(k + 2);
    const ExpectedType& t = kTypes[k];
    EXPECT_EQ(std::stoi(columns(l, 1, 4)), k + 1);
    EXPECT_EQ(columns(l, 5, 5), " ");
    EXPECT_EQ(rtrim(columns(l, 6, 10)), t.name);
    EXPECT_DOUBLE_EQ(std::stod(columns(l, 11, 20)), t.radius) << t.name;
    EXPECT_EQ(columns(l, 11, 20).find('.'), 7u) << "radius written with 2 decimals: " << l;
    EXPECT_EQ(std::stoi(columns(l, 21, 25)), t.hbond) << t.name;
    EXPECT_EQ(std::stoi(columns(l, 26, 30)), t.element) << t.name;
    EXPECT_EQ(l.size(), 30u);
  }
}

TEST(BuiltinLibLayout, ResidueLinesKeepTheirFixedColumns) {
  for (const LibResidue& r : library().residues) {
    std::string_view h = internal_libfile(r.header_line);
    EXPECT_EQ(columns(h, 1, 10), "RESIDUE   ");
    EXPECT_EQ(rtrim(columns(h, 11, 15)), r.name);
    EXPECT_EQ(h.size(), 35u) << h;
    int line = r.header_line;
    for (std::size_t k = 1; k <= r.angles.size(); ++k) {
      std::string_view l = internal_libfile(++line);
      EXPECT_EQ(std::stoi(columns(l, 1, 4)), static_cast<int>(k)) << l;
      EXPECT_EQ(columns(l, 11, 30), "    0    0    0.0000") << l;
      EXPECT_EQ(l.size(), 55u) << l;
    }
    for (int j = 1; j <= r.nat(); ++j) {
      std::string_view l = internal_libfile(++line);
      EXPECT_EQ(std::stoi(columns(l, 1, 4)), j) << l;
      EXPECT_EQ(rtrim(columns(l, 6, 10)), r.at(j).name) << l;
      EXPECT_EQ(rtrim(columns(l, 11, 15)), r.at(j).type) << l;
      EXPECT_EQ(columns(l, 16, 30), "    0    0.0000") << l;
      for (int c : {31, 41, 51}) {
        EXPECT_EQ(columns(l, c + 5, c + 5), ".") << "4 decimals: " << l;
      }
      EXPECT_EQ(columns(l, 31, 60).find("-0.0000"), std::string::npos) << l;
      EXPECT_EQ(l.size(), 85u) << l;
    }
  }
}

TEST(BuiltinLibLayout, ReferenceBlocksAreVerbatim) {
  for (std::size_t k = 0; k < std::size(kAlaBlock); ++k) {
    EXPECT_EQ(internal_libfile(23 + static_cast<int>(k)), kAlaBlock[k]);
  }
  for (std::size_t k = 0; k < std::size(kPlBlock); ++k) {
    EXPECT_EQ(internal_libfile(988 + static_cast<int>(k)), kPlBlock[k]);
  }
  for (std::size_t k = 0; k < std::size(kShiftHead); ++k)
    EXPECT_EQ(internal_libfile(1065 + static_cast<int>(k)), kShiftHead[k]);
}

// ------------------------------------------------------------------ residue content

TEST(BuiltinLibContent, HeadersAnglesAtomNamesAndTypesFollowTheResidueTable) {
  const Library& lib = library();
  ASSERT_EQ(lib.residues.size(), std::size(kExpected));
  for (std::size_t k = 0; k < std::size(kExpected); ++k) {
    const ExpectedResidue& e = kExpected[k];
    const LibResidue& r = lib.residues[k];
    SCOPED_TRACE(e.name);
    EXPECT_EQ(r.name, e.name);
    EXPECT_EQ(r.first, e.first);
    EXPECT_EQ(r.last, e.last);
    auto angles = expected_angles(e);
    ASSERT_EQ(static_cast<int>(angles.size()), e.ndih);
    ASSERT_EQ(r.angles.size(), angles.size());
    for (std::size_t m = 0; m < angles.size(); ++m) {
      EXPECT_EQ(r.angles[m].name, angles[m].name);
      EXPECT_EQ(r.angles[m].at, angles[m].at) << angles[m].name;
      EXPECT_EQ(r.angles[m].last, angles[m].last) << angles[m].name;
    }
    auto atoms = expected_atoms(e);
    ASSERT_EQ(static_cast<int>(atoms.size()), e.nat);
    ASSERT_EQ(r.nat(), e.nat);
    for (int j = 1; j <= r.nat(); ++j) {
      EXPECT_EQ(r.at(j).name, atoms[j - 1].first) << "atom " << j;
      EXPECT_EQ(r.at(j).type, atoms[j - 1].second) << "atom " << j;
    }
  }
}

TEST(BuiltinLibContent, BondListsAreOrderedSymmetricAndConnectTheResidue) {
  for (const LibResidue& r : library().residues) {
    SCOPED_TRACE(r.name);
    for (int j = 1; j <= r.nat(); ++j) {
      const auto& b = r.at(j).bonds;
      int nonzero = static_cast<int>(std::count_if(b.begin(), b.end(), [](int x) { return x != 0; }));
      for (int m = 0; m < 4; ++m) {
        if (m < nonzero) {
          ASSERT_GE(b[m], 1);
          ASSERT_LE(b[m], r.nat());
          EXPECT_NE(b[m], j);
          if (m > 0) {
            EXPECT_LT(b[m - 1], b[m]) << "atom " << j;
          }
          const auto& back = r.at(b[m]).bonds;
          EXPECT_NE(std::find(back.begin(), back.end(), j), back.end()) << j << " lists " << b[m] << " but not back";
        } else {
          EXPECT_EQ(b[m], 0) << "zeros come last, atom " << j;
        }
      }
      if (is_pseudo(r.at(j))) {
        EXPECT_EQ(nonzero, 0) << "pseudo atom " << r.at(j).name << " has bonds";
      }
      if (is_hydrogen(r.at(j))) {
        EXPECT_EQ(nonzero, 1) << r.at(j).name;
      }
    }
    if (is_linker(r)) {
      for (const LibAtom& a : r.atoms) {
        EXPECT_EQ(a.bonds, (std::array<int, 4>{})) << a.name;
      }
      continue;
    }
    // Every real atom is reached from atom 1.
    std::set<int> all = reach(r, 1, {});
    all.insert(1);
    for (int j = 1; j <= r.nat(); ++j)
      if (!is_pseudo(r.at(j))) {
        EXPECT_TRUE(all.count(j)) << r.at(j).name << " is not bonded to the residue";
      }
  }
}

TEST(BuiltinLibContent, PseudoAtomsSitAtTheCentroidOfTheirMembers) {
  for (const LibResidue& r : library().residues) {
    SCOPED_TRACE(r.name);
    for (int j = 1; j <= r.nat(); ++j) {
      const LibAtom& a = r.at(j);
      if (a.pseudo) {
        ASSERT_LE(a.pseudo, r.nat());
        EXPECT_TRUE(is_pseudo(r.at(a.pseudo))) << a.name << " points to a real atom";
      }
      if (!is_pseudo(a)) continue;
      EXPECT_EQ(a.name[0], 'Q') << a.name;
      EXPECT_LT(dist(a.pos, centroid_of_members(r, j)), 0.001) << a.name;
    }
    if (r.name == "PHE" || r.name == "TYR") {
      Vec c;
      for (const char* n : {"CG", "CD1", "CE1", "CZ", "CE2", "CD2"}) c = c + r.at(r.find(n)).pos;
      EXPECT_LT(dist(r.at(r.find("QR")).pos, c * (1.0 / 6)), 0.001);
    }
  }
  // The two-level pseudo atoms of leucine and valine stand for both methyl groups.
  const LibResidue& leu = library().residue("LEU");
  EXPECT_EQ(leu.at(leu.find("QD1")).pseudo, leu.find("QQD"));
  EXPECT_EQ(leu.at(leu.find("QD2")).pseudo, leu.find("QQD"));
  const LibResidue& val = library().residue("VAL");
  EXPECT_EQ(val.at(val.find("QG1")).pseudo, val.find("QQG"));
}

// ------------------------------------------------------------------ geometry

TEST(BuiltinLibGeometry, CoordinatesAreInTheStandardFrame) {
  for (const LibResidue& r : library().residues) {
    SCOPED_TRACE(r.name);
    Vec a1 = r.at(1).pos, a2 = r.at(2).pos, a3 = r.at(3).pos;
    EXPECT_EQ(a1.x, 0.0);
    EXPECT_EQ(a1.y, 0.0);
    EXPECT_EQ(a1.z, 0.0);
    EXPECT_GT(a3.x, 0.5);
    EXPECT_EQ(a3.y, 0.0);
    EXPECT_EQ(a3.z, 0.0);
    EXPECT_EQ(a2.y, 0.0);
    EXPECT_LT(a2.z, -0.5);
    // The frame transformation of the reader leaves every atom where it is.
    Vec x = a3 * (1.0 / norm(a3)), y = cross(x, a2);
    y = y * (1.0 / norm(y));
    Vec z = cross(x, y);
    for (const LibAtom& a : r.atoms) {
      Vec c = a.pos - a1;
      EXPECT_NEAR(dot(x, c), a.pos.x, 1e-9) << a.name;
      EXPECT_NEAR(dot(y, c), a.pos.y, 1e-9) << a.name;
      EXPECT_NEAR(dot(z, c), a.pos.z, 1e-9) << a.name;
    }
  }
}

TEST(BuiltinLibGeometry, BondLengthsAreStandard) {
  const Library& lib = library();
  int checked = 0, at_least = 0;  // a connected residue of n real atoms has n - 1 bonds or more
  for (const LibResidue& r : lib.residues) {
    if (!is_linker(r)) {
      at_least += static_cast<int>(std::count_if(r.atoms.begin(), r.atoms.end(),
                                                 [](const LibAtom& a) { return !is_pseudo(a); })) - 1;
    }
    for (int i = 1; i <= r.nat(); ++i)
      for (int j : r.at(i).bonds) {
        if (j <= i) continue;
        const LibAtom &a = r.at(i), &b = r.at(j);
        double d = dist(a.pos, b.pos);
        SCOPED_TRACE(r.name + " " + a.name + "-" + b.name + " " + std::to_string(d));
        ++checked;
        if (is_hydrogen(a) || is_hydrogen(b)) {
          const LibAtom& heavy = is_hydrogen(a) ? b : a;
          ASSERT_FALSE(is_hydrogen(heavy)) << "hydrogen bonded to hydrogen";
          EXPECT_NEAR(d, kHydrogenBonds.at(heavy.type.substr(0, 1)), 0.05);
          continue;
        }
        auto it = kHeavyBonds.find({a.type, b.type});
        if (it == kHeavyBonds.end()) it = kHeavyBonds.find({b.type, a.type});
        ASSERT_NE(it, kHeavyBonds.end()) << "no standard length for " << a.type << "-" << b.type;
        double off = 1e9;
        for (double s : it->second) off = std::min(off, std::fabs(d - s));
        EXPECT_LE(off, 0.03);
      }
  }
  EXPECT_GE(checked, at_least);
}

TEST(BuiltinLibGeometry, AminoAcidsShareTheAlanineBackbone) {
  const LibResidue& ala = library().residue("ALA");
  for (const LibResidue& r : library().residues) {
    if (!is_amino_acid(r) || r.name == "ALA") continue;
    SCOPED_TRACE(r.name);
    EXPECT_EQ(r.at(5).name, "CA");
    EXPECT_EQ(r.at(r.nat() - 2).name, "C");
    EXPECT_EQ(r.at(r.nat() - 1).name, "O");
    EXPECT_EQ(r.at(r.nat()).name, "N");
    // Overlap atoms, N, H, CA, HA, CB and the end atoms C, O, N are those of ALA. Proline's
    // ring fixes its phi, so there only the atoms up to CA are.
    std::vector<std::pair<int, int>> same = {{1, 1}, {2, 2}, {3, 3}, {5, 5}};
    if (r.name != "PRO") {
      same.insert(same.end(), {{r.nat() - 2, 12}, {r.nat() - 1, 13}, {r.nat(), 14}});
      for (const char* n : {"H", "HA", "CB"})
        if (r.find(n)) same.push_back({r.find(n), ala.find(n)});
    }
    for (auto [j, k] : same) {
      EXPECT_EQ(r.at(j).pos.x, ala.at(k).pos.x) << r.at(j).name;
      EXPECT_EQ(r.at(j).pos.y, ala.at(k).pos.y) << r.at(j).name;
      EXPECT_EQ(r.at(j).pos.z, ala.at(k).pos.z) << r.at(j).name;
    }
  }
  const LibResidue& pro = library().residue("PRO");
  double phi = torsion(pro.at(1).pos, pro.at(3).pos, pro.at(5).pos, pro.at(pro.find("C", 6)).pos);
  EXPECT_NEAR(phi, -63.0, 1.0);
}

// Chirality of a centre with substituents in descending priority a > b > c: positive for S.
double chirality(Vec centre, Vec a, Vec b, Vec c) { return dot(a - centre, cross(b - centre, c - centre)); }

TEST(BuiltinLibGeometry, StereochemistryIsThatOfLAminoAcidsAndBetaDNucleotides) {
  for (const LibResidue& r : library().residues) {
    SCOPED_TRACE(r.name);
    // Own atoms by name (the overlap atoms at the start of the block are skipped).
    auto p = [&](const char* n) { return r.at(r.find(n, r.first)).pos; };
    if (is_amino_acid(r) && r.find("CB")) {
      EXPECT_GT(chirality(p("CA"), p("N"), p("C"), p("CB")), 0);  // L
    }
    if (r.name == "ILE") {
      EXPECT_GT(chirality(p("CB"), p("CA"), p("CG1"), p("CG2")), 0);               // 3S
    }
    if (r.name == "THR") {
      EXPECT_LT(chirality(p("CB"), p("OG1"), p("CA"), p("CG2")), 0);               // 3R
    }
    if (r.name == "VAL") {
      EXPECT_LT(chirality(p("CB"), p("CA"), p("CG1"), p("CG2")), 0);  // CG1 pro-R
    }
    if (r.name == "LEU") {
      EXPECT_LT(chirality(p("CG"), p("CB"), p("CD1"), p("CD2")), 0);  // CD1 pro-R
    }
    if (!is_nucleotide(r)) continue;
    const char* n = r.find("N9") ? "N9" : "N1";
    int c3 = r.find("C3'", r.first), o3 = r.find("O3'", r.first);
    EXPECT_LT(chirality(p("C1'"), p("O4'"), p(n), p("C2'")), 0);                      // C1' R
    EXPECT_GT(chirality(r.at(c3).pos, r.at(o3).pos, p("C4'"), p("C2'")), 0);          // C3' S
    EXPECT_LT(chirality(p("C4'"), p("O4'"), r.at(c3).pos, p("C5'")), 0);              // C4' R
    if (r.find("O2'")) {
      EXPECT_LT(chirality(p("C2'"), p("O2'"), p("C1'"), r.at(c3).pos), 0);  // C2' R
    }
    // Sugar pucker from the endocyclic torsions (pseudorotation phase).
    Vec c1 = p("C1'"), c2 = p("C2'"), c4 = p("C4'"), o4 = p("O4'"), c3p = r.at(c3).pos;
    double nu0 = torsion(c4, o4, c1, c2), nu1 = torsion(o4, c1, c2, c3p), nu2 = torsion(c1, c2, c3p, c4),
           nu3 = torsion(c2, c3p, c4, o4), nu4 = torsion(c3p, c4, o4, c1);
    double phase = std::atan2(nu4 + nu1 - nu3 - nu0, 2 * nu2 * (std::sin(M_PI / 5) + std::sin(2 * M_PI / 5)));
    phase = std::fmod(phase * 180 / M_PI + 360, 360);
    if (r.find("O2'")) {
      EXPECT_LT(phase, 36.0) << "ribose not C3'-endo";
    } else {
      EXPECT_GT(phase, 144.0) << "deoxyribose not C2'-endo";
      EXPECT_LT(phase, 198.0) << "deoxyribose not C2'-endo";
    }
  }
}

// Rotating angle k about its axis must move exactly the atoms beyond the axis: the atoms
// idihat(3,k)+1 .. ldihat(k) (or to the end). The sugar ring is the one ring an angle
// axis lies in: for NU2 and NU1 its closing bond O4'-C4' is cut.
TEST(BuiltinLibGeometry, EachAngleMovesExactlyTheAtomsBeyondItsAxis) {
  for (const LibResidue& r : library().residues) {
    for (std::size_t k = 0; k < r.angles.size(); ++k) {
      const LibAngle& g = r.angles[k];
      SCOPED_TRACE(r.name + " " + g.name);
      int last = g.last > 0 ? g.last : r.nat();
      std::set<int> moved;
      for (int j = g.at[2] + 1; j <= last; ++j) moved.insert(j);
      ASSERT_FALSE(moved.empty());
      // No atom defining an earlier angle moves.
      for (std::size_t m = 0; m < k; ++m)
        for (int a : r.angles[m].at) {
          EXPECT_FALSE(moved.count(a)) << "moves atom " << a << " of " << r.angles[m].name;
        }
      if (is_linker(r)) {
        EXPECT_EQ(last, r.nat());
        continue;
      }
      // The four atoms are a bonded chain.
      for (int m = 0; m < 3; ++m) {
        const auto& b = r.at(g.at[m]).bonds;
        EXPECT_NE(std::find(b.begin(), b.end(), g.at[m + 1]), b.end()) << g.at[m] << "-" << g.at[m + 1];
      }
      std::set<std::pair<int, int>> cut;
      if (g.name == "NU2" || g.name == "NU1") {
        int o4 = r.find("O4'"), c4 = r.find("C4'");
        cut.insert({std::min(o4, c4), std::max(o4, c4)});
      }
      std::set<int> beyond = reach(r, g.at[2], {g.at[1]}, cut);
      std::set<int> moved_real;
      for (int j : moved)
        if (!is_pseudo(r.at(j))) moved_real.insert(j);
      EXPECT_EQ(moved_real, beyond);
      // Turned by 60 degrees, the moved part stays rigid: bond lengths (except a cut ring
      // bond) and pseudo-atom centroids hold, and the angle itself turns by 60 degrees.
      std::vector<Vec> pos;
      for (int j = 1; j <= r.nat(); ++j)
        pos.push_back(moved.count(j) ? rotate(r.at(j).pos, r.at(g.at[1]).pos, r.at(g.at[2]).pos, 60) : r.at(j).pos);
      for (int i = 1; i <= r.nat(); ++i)
        for (int j : r.at(i).bonds)
          if (j > i && !cut.count({i, j})) {
            EXPECT_NEAR(dist(pos[i - 1], pos[j - 1]), dist(r.at(i).pos, r.at(j).pos), 1e-9) << i << "-" << j;
          }
      for (int q = 1; q <= r.nat(); ++q) {
        if (!is_pseudo(r.at(q))) continue;
        Vec c;
        int n = 0;
        for (int j = 1; j <= r.nat(); ++j)
          if (r.at(j).pseudo == q) c = c + pos[j - 1], ++n;
        EXPECT_LT(dist(pos[q - 1], c * (1.0 / n)), 0.001) << r.at(q).name << " leaves its centroid";
      }
      auto tor = [&](const std::vector<Vec>& p) {
        return torsion(p[g.at[0] - 1], p[g.at[1] - 1], p[g.at[2] - 1], p[g.at[3] - 1]);
      };
      std::vector<Vec> before;
      for (const LibAtom& a : r.atoms) before.push_back(a.pos);
      EXPECT_NEAR(std::remainder(tor(pos) - tor(before), 360.0), 60.0, 1e-6);
    }
  }
}

// ------------------------------------------------------------------ chemical shifts

TEST(BuiltinLibShifts, RowsAreNumberedAndCoverAminoAcidsAndNucleotidesInTableOrder) {
  std::map<std::string, int> order, rows;
  for (std::size_t k = 0; k < std::size(kExpected); ++k) order[kExpected[k].name] = static_cast<int>(k);
  int previous = -1;
  for (int i = 1066; i <= 1475; ++i) {
    std::string_view l = internal_libfile(i);
    SCOPED_TRACE(std::string(l));
    ASSERT_EQ(l.size(), 52u);
    EXPECT_EQ(std::stoi(columns(l, 1, 4)), i - 1065);
    std::string res(rtrim(columns(l, 6, 10)));
    ASSERT_TRUE(order.count(res)) << res;
    EXPECT_GE(order[res], previous);
    previous = order[res];
    ++rows[res];
    const LibResidue& r = library().residue(res);
    EXPECT_TRUE(r.find(std::string(rtrim(columns(l, 11, 15))))) << "no such atom in " << res;
    EXPECT_GT(std::stoi(columns(l, 16, 20)), 0);
    double mean = std::stod(columns(l, 21, 28)), spread = std::stod(columns(l, 29, 36)),
           low = std::stod(columns(l, 37, 44)), high = std::stod(columns(l, 45, 52));
    EXPECT_GT(spread, 0.0);
    EXPECT_LT(low, mean);
    EXPECT_GT(high, mean);
  }
  EXPECT_EQ(rows["ALA"], 7);
  EXPECT_EQ(rows["ARG"], 18);
  EXPECT_EQ(rows["URA"], 21);
  for (const LibResidue& r : library().residues)
    EXPECT_EQ(rows.count(r.name) > 0, !is_linker(r)) << r.name;
}

// ------------------------------------------------------------------ through the library reader

TEST(BuiltinLibReader, ReadingGivesTheTableSizesAndPassesTheCheck) {
  testing::Captured out;
  ASSERT_EQ(testing::stop_status([] {
              getlib(nullptr);
              libchk();
            }),
            std::nullopt)
      << out.text();
  EXPECT_EQ(out.text(), "");
  const VokanData& v = vokandata;
  EXPECT_EQ(v.nattyp, 20);
  EXPECT_EQ(v.naa, 38);
  EXPECT_EQ(v.maxdih, 10);
  EXPECT_EQ(v.maxat, 39);
  EXPECT_DOUBLE_EQ(v.corr14, 0.10);
  for (int t = 1; t <= 20; ++t) {
    EXPECT_EQ(v.attyp(t), kTypes[t - 1].name);
    EXPECT_EQ(v.iatel(t), kTypes[t - 1].element);
  }
}

// What the reader loads is what the table holds, and the standard-frame transformation
// the reader applies (and any further one) leaves every residue type where it is.
TEST(BuiltinLibReader, EveryResidueTypeIsReadAsWrittenAndKeepsItsFrame) {
  testing::Captured out;
  ASSERT_EQ(testing::stop_status([] { getlib(nullptr); }), std::nullopt) << out.text();
  VokanData& v = vokandata;
  ASSERT_EQ(v.naa, static_cast<int>(library().residues.size()));
  for (int i = 1; i <= v.naa; ++i) {
    const LibResidue& r = library().residues[i - 1];
    SCOPED_TRACE(r.name);
    EXPECT_EQ(v.aanam(i), r.name);
    EXPECT_EQ(v.aatyp(i), "RESID");
    ASSERT_EQ(v.nat(i), r.nat());
    ASSERT_EQ(v.ndih(i), static_cast<int>(r.angles.size()));
    EXPECT_EQ(v.ifirat(i), r.first);
    EXPECT_EQ(v.lasat(i), r.last);
    for (int k = 1; k <= v.ndih(i); ++k) {
      EXPECT_EQ(v.dihnam(k, i), r.angles[k - 1].name);
      for (int m = 1; m <= 4; ++m) EXPECT_EQ(v.idihat(m, k, i), r.angles[k - 1].at[m - 1]);
      EXPECT_EQ(v.ldihat(k, i), r.angles[k - 1].last);
    }
    for (int j = 1; j <= r.nat(); ++j) {
      const LibAtom& a = r.at(j);
      EXPECT_EQ(v.atnam(j, i), a.name);
      EXPECT_EQ(v.attyp(v.iattyp(j, i)), a.type);
      EXPECT_EQ(v.ipatom(j, i), a.pseudo);
      for (int m = 1; m <= 4; ++m) EXPECT_EQ(v.icon(m, j, i), a.bonds[m - 1]) << a.name;
      EXPECT_NEAR(v.coord(1, j, i), a.pos.x, 1e-4) << a.name;
      EXPECT_NEAR(v.coord(2, j, i), a.pos.y, 1e-4) << a.name;
      EXPECT_NEAR(v.coord(3, j, i), a.pos.z, 1e-4) << a.name;
    }
    librot(i);
    for (int j = 1; j <= r.nat(); ++j) {
      EXPECT_NEAR(v.coord(1, j, i), r.at(j).pos.x, 1e-4) << r.at(j).name;
      EXPECT_NEAR(v.coord(2, j, i), r.at(j).pos.y, 1e-4) << r.at(j).name;
      EXPECT_NEAR(v.coord(3, j, i), r.at(j).pos.z, 1e-4) << r.at(j).name;
    }
  }
}

}  // namespace
}  // namespace veldrix
