#!/bin/sh
# Makes the copies of real ensembles in the residue library's names, with sed alone
# (independent of the program's name mapping), for comparing library names on a
# renamed copy with modern names on the original:
#
#   tests/data/formats/rename_to_library.sh    (from the repository root)
#
# Only ATOM and HETATM records change: residue names in columns 18-21 (the reader
# matches them from column 18), atom names in columns 13-16; lengths stay.
set -e
cd "$(dirname "$0")"
records='/^(ATOM  |HETATM)/'
dna="s/^(.{17}) DA /\1ADE /; s/^(.{17}) DC /\1CYT /; s/^(.{17}) DG /\1GUA /; s/^(.{17}) DT /\1THY /"
rna="s/^(.{17})  A /\1RADE/; s/^(.{17})  C /\1RCYT/; s/^(.{17})  G /\1RGUA/; s/^(.{17})  U /\1URA /"
primes="s/^(.{12})H5''/\1H5\" /; s/^(.{12})H2''/\1H2\" /"
gzip -dc ../2hkb.pdb.gz | sed -E "$records{$dna; $primes}" | gzip -9n > 2hkb_library_names.pdb.gz
gzip -dc ../2koc.pdb.gz | sed -E "$records{$rna; $primes}" | gzip -9n > 2koc_library_names.pdb.gz
gzip -dc ../1lcd.pdb.gz | sed -E "$records{$dna; $primes}" | gzip -9n > 1lcd_library_names.pdb.gz
