#pragma once
/// The standard marching-cubes tables: corner 0 at (0,0,0), 1 (1,0,0), 2 (1,1,0), 3 (0,1,0), 4..7 the same at z = 1;
/// edges 0-3 the bottom face, 4-7 the top face, 8-11 the verticals.

namespace zelvor::mc {

/// For each corner flag index (bit n set: corner n lies at or below the level), the edges the surface crosses.
extern const int CubeEdgeFlags[256];
/// For each flag index, up to five triangles as edge numbers, ended by -1.
extern const int TriangleConnectionTable[256][16];
/// Position of each corner in the unit cube.
extern const int VertexOffset[8][3];
/// The two corners of each edge, in the edge's direction.
extern const int EdgeConnection[12][2];
/// Unit direction of each edge (from its first corner to its second).
extern const int EdgeDirection[12][3];

}  // namespace zelvor::mc
