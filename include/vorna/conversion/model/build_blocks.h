#pragma once

namespace vorna
{
    class BRep;
} // namespace vorna

namespace vorna
{
    /// Gives its blocks to a BRep that has surfaces but no block: every
    /// volume enclosed by a closed shell of surfaces becomes a block bounded
    /// by that shell (and by the shells nested right inside it), surfaces
    /// hanging inside a block become internal to it, blocks left without any
    /// boundary surface are dropped, blocks of no volume (at most 1e-9
    /// times their boundary's area times its bounding-box diagonal) are
    /// dropped with a warning, and free lines and corners lying inside
    /// a block become internal to the first such block.
    /// A model without surface, or that already has a block, is left
    /// unchanged and a warning is logged; a model whose surfaces enclose no
    /// volume gets no block and an info line is logged.
    /// \throw CorvaneException when a point of a surface, line or corner
    /// has a non-finite coordinate ("[build_blocks] Vertex <v> of mesh
    /// '<mesh name or uuid>' has a non-finite coordinate") or one beyond
    /// the coordinate bound ("[build_blocks] Coordinates must lie within
    /// [-1e+40, 1e+40]: vertex <v> of mesh '<mesh name or uuid>' has
    /// <value>", the first such mesh, surfaces then lines then corners, and
    /// its farthest coordinate), the model left unchanged; when a nested shell
    /// offers no polygon of area 1e-6 or more to cast its ray from, the model
    /// then keeping what was done so far.
    void build_blocks( BRep& brep );
} // namespace vorna
