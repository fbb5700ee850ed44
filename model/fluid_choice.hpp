// The fluid routines chosen for a run.
#pragma once

namespace model {

// The three fluid routines of a run, each 1, 2 or 3.
//   mixing: 1 Kerrick & Jacobs (1981) nonideal, 2 ideal, 3 Holland & Powell (1990)
//   water:  1 Haar, Gallagher & Kell (1984), 2 Kerrick & Jacobs (1981), 3 Holland & Powell (1989)
//   co2:    1 Kovan & Tessel (1991), 2 Kerrick & Jacobs (1981), 3 Holland & Powell (1989)
struct FluidModelChoice {
    int mixing = 1;
    int water = 1;
    int co2 = 1;
};

}  // namespace model
