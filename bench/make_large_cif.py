#!/usr/bin/python3
"""Writes a P 1 CIF with many sites (200,000 by default, about 8 MB) for the reading benchmarks.

Usage: make_large_cif.py OUT [--sites N]
The coordinates are deterministic, spread over a 100 Å cell, so every run reads the same file.
"""
import argparse
import math

ELEMENTS = ("O", "Si", "Al", "Fe")
GOLDEN = (math.sqrt(5.0) - 1.0) / 2.0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--sites", type=int, default=200000)
    args = parser.parse_args()
    rows = []
    for i in range(args.sites):
        x, y, z = ((0.0713 + (3 * i + axis + 1) * GOLDEN) % 1.0 for axis in range(3))
        element = ELEMENTS[i % len(ELEMENTS)]
        rows.append(f"{element}{i + 1} {element} {x:.6f} {y:.6f} {z:.6f} 0.0100\n")
    with open(args.out, "w", encoding="ascii") as f:
        f.write("data_large\n"
                "_cell_length_a 100.0\n_cell_length_b 100.0\n_cell_length_c 100.0\n"
                "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n"
                "_symmetry_space_group_name_H-M 'P 1'\n"
                "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n"
                "_atom_site_fract_y\n_atom_site_fract_z\n_atom_site_U_iso_or_equiv\n")
        f.writelines(rows)


if __name__ == "__main__":
    main()
