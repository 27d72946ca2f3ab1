#include <conversion/mesh_analysis/from_meshes/mappings.h>

#include <absl/container/flat_hash_set.h>

#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/section.h>
#include <vorna/model/section_builder.h>

namespace
{
    using namespace vorna;
    using namespace vorna::detail::from_meshes;

    /// Every component vertex of the given type at the unique vertex.
    template < typename Model >
    void map_to_component_vertices( const Model& model,
                                    const MeshVertex& key,
                                    index_t unique_vertex,
                                    const ComponentType& type,
                                    VertexMapping& vertex_mapping )
    {
        for( const auto& component_vertex :
             model.component_mesh_vertices( unique_vertex ) )
        {
            if( component_vertex.component_id.type() == type )
            {
                vertex_mapping.map( key, component_vertex );
            }
        }
    }

} // namespace

namespace vorna
{
    namespace detail
    {
        namespace from_meshes
        {
            template < typename Model, typename Builder, index_t D >
            void map_curves(
                const CornersLinesBuilder< Model, Builder, D >& corners_lines,
                const Model& model,
                const MeshesInput< D >& input,
                const MeshesWireframe< D >& wireframe,
                VertexMapping& vertex_mapping,
                ElementMapping& element_mapping )
            {
                const auto& curves = input.curves();
                absl::flat_hash_set< uuid > done;
                for( index_t c = 0; c < curves.size(); c++ )
                {
                    const auto& curve = curves[c].get();
                    if( !done.insert( curve.id() ).second )
                    {
                        continue;
                    }
                    const auto& edge_wireframe = wireframe.curve_edges( c );
                    for( index_t e = 0; e < curve.nb_edges(); e++ )
                    {
                        const auto wireframe_edge = edge_wireframe.at( e );
                        element_mapping.map(
                            MeshElement{ curve.id(), e },
                            ComponentMeshElement{
                                ComponentID{
                                    line_type(),
                                    corners_lines.line_uuid( wireframe_edge ) },
                                corners_lines.line_edge_id(
                                    wireframe_edge ) } );
                    }
                    const auto& vertex_unique = wireframe.curve_vertices( c );
                    for( index_t v = 0; v < curve.nb_vertices(); v++ )
                    {
                        map_to_component_vertices( model,
                                                   MeshVertex{ curve.id(), v },
                                                   vertex_unique.at( v ),
                                                   line_type(),
                                                   vertex_mapping );
                    }
                }
            }

            template void
            map_curves( const CornersLinesBuilder< BRep, BRepBuilder, 3 >&,
                        const BRep&,
                        const MeshesInput< 3 >&,
                        const MeshesWireframe< 3 >&,
                        VertexMapping&,
                        ElementMapping& );
            template void map_curves(
                const CornersLinesBuilder< Section, SectionBuilder, 2 >&,
                const Section&,
                const MeshesInput< 2 >&,
                const MeshesWireframe< 2 >&,
                VertexMapping&,
                ElementMapping& );
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
