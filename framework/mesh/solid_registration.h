#pragma once

namespace vorna
{
    namespace detail
    {
        /// Registers PolyhedralSolid3D and TetrahedralSolid3D, their default
        /// implementations and their builder creators. Called once from
        /// CorvaneMesh::initialize().
        void register_solid_meshes();
    } // namespace detail
} // namespace vorna
