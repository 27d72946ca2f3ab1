#include <vorna/model/cut_along_internal_lines.h>

#include <algorithm>
#include <numeric>

#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/line.h>
#include <vorna/model/section.h>
#include <vorna/model/section_builder.h>
#include <vorna/model/surface.h>

#include "polygon_edges_between.h"

namespace
{
    using CutPairs = std::vector<
        std::pair< vorna::ComponentMeshVertex, vorna::ComponentMeshVertex > >;

    template < typename T >
    void sort_unique( std::vector< T >& values )
    {
        std::sort( values.begin(), values.end() );
        values.erase( std::unique( values.begin(), values.end() ),
                      values.end() );
    }

    // Union-find over a handful of polygons around one vertex.
    class SmallUnionFind
    {
      public:
        explicit SmallUnionFind( vorna::index_t size ) : parents_( size )
        {
            std::iota( parents_.begin(), parents_.end(), 0u );
        }

        vorna::index_t root( vorna::index_t element )
        {
            while( parents_[element] != element )
            {
                parents_[element] = parents_[parents_[element]];
                element = parents_[element];
            }
            return element;
        }

        // The smaller root wins, so a root is its set's smallest element.
        void join( vorna::index_t a, vorna::index_t b )
        {
            const auto root_a = root( a );
            const auto root_b = root( b );
            if( root_a < root_b )
            {
                parents_[root_b] = root_a;
            }
            else
            {
                parents_[root_a] = root_b;
            }
        }

      private:
        std::vector< vorna::index_t > parents_;
    };

    template < typename Model, vorna::index_t D >
    class SurfaceCutter
    {
      public:
        SurfaceCutter( const Model& model,
                       vorna::SurfaceMeshBuilder< D >& mesh_builder,
                       vorna::VertexIdentifierBuilder& identifier_builder,
                       const vorna::Surface< D >& surface )
            : model_( model ), mesh_builder_( mesh_builder ),
              identifier_builder_( identifier_builder ), surface_( surface ),
              mesh_( surface.mesh() ), surface_id_( surface.component_id() )
        {
        }

        void cut( CutPairs& pairs )
        {
            const auto cut_edges = find_cut_edges();
            std::vector< vorna::index_t > cut_vertices;
            cut_vertices.reserve( 2 * cut_edges.size() );
            for( const auto& edge : cut_edges )
            {
                const auto ends = mesh_.polygon_edge_vertices( edge );
                cut_vertices.push_back( ends[0] );
                cut_vertices.push_back( ends[1] );
                if( const auto other = mesh_.polygon_adjacent_edge( edge ) )
                {
                    mesh_builder_.unset_polygon_adjacent( *other );
                }
                mesh_builder_.unset_polygon_adjacent( edge );
            }
            sort_unique( cut_vertices );
            for( const auto vertex : cut_vertices )
            {
                split_vertex( vertex, pairs );
            }
        }

      private:
        bool is_own_vertex( const vorna::ComponentMeshVertex& cmv ) const
        {
            // Uuids are unique across kinds, so the type need not be compared.
            return cmv.component_id.id() == surface_.id();
        }

        vorna::index_t unique_vertex( vorna::index_t vertex ) const
        {
            return model_.unique_vertex( { surface_id_, vertex } );
        }

        // Polygon edges of the surface on the unique vertices of an edge of
        // one of its internal lines.
        std::vector< vorna::PolygonEdge > find_cut_edges() const
        {
            std::vector< vorna::PolygonEdge > cut_edges;
            for( const auto& line : model_.internal_lines( surface_ ) )
            {
                const auto& curve = line.mesh();
                const auto line_id = line.component_id();
                for( vorna::index_t e = 0; e < curve.nb_edges(); e++ )
                {
                    const auto& ends = curve.edge_vertices( e );
                    const auto u0 =
                        model_.unique_vertex( { line_id, ends[0] } );
                    const auto u1 =
                        model_.unique_vertex( { line_id, ends[1] } );
                    if( u0 == vorna::INVALID_INDEX ||
                        u1 == vorna::INVALID_INDEX )
                    {
                        continue;
                    }
                    add_edges_between( u0, u1, cut_edges );
                }
            }
            sort_unique( cut_edges );
            return cut_edges;
        }

        void add_edges_between( vorna::index_t u0,
                                vorna::index_t u1,
                                std::vector< vorna::PolygonEdge >& edges ) const
        {
            for( const auto& cmv : model_.component_mesh_vertices( u0 ) )
            {
                if( is_own_vertex( cmv ) )
                {
                    vorna::detail::append_polygon_edges_to(
                        model_, cmv, mesh_, u1, edges );
                }
            }
        }

        // Gives each fan of polygons around the vertex but the first its own
        // copy of the vertex.
        void split_vertex( vorna::index_t vertex, CutPairs& pairs )
        {
            // Copied: replacing the vertex edits the mesh's own list.
            const vorna::PolygonsAroundVertex uses =
                mesh_.polygons_around_vertex( vertex );
            std::vector< vorna::index_t > polygons;
            polygons.reserve( uses.size() );
            for( const auto& use : uses )
            {
                polygons.push_back( use.polygon_id );
            }
            sort_unique( polygons );
            if( polygons.size() < 2 )
            {
                return;
            }
            const auto position = [&polygons]( vorna::index_t polygon )
            {
                const auto it = std::lower_bound(
                    polygons.begin(), polygons.end(), polygon );
                return it != polygons.end() && *it == polygon
                           ? static_cast< vorna::index_t >( it -
                                                            polygons.begin() )
                           : vorna::INVALID_INDEX;
            };
            SmallUnionFind fans{
                static_cast< vorna::index_t >( polygons.size() ) };
            for( const auto& use : uses )
            {
                const auto nb = mesh_.nb_polygon_edges( use.polygon_id );
                const vorna::PolygonEdge ending[2] = {
                    { use.polygon_id, use.vertex_id },
                    { use.polygon_id,
                      static_cast< vorna::local_index_t >(
                          ( use.vertex_id + nb - 1 ) % nb ) } };
                for( const auto& edge : ending )
                {
                    const auto adjacent = mesh_.polygon_adjacent( edge );
                    if( !adjacent )
                    {
                        continue;
                    }
                    const auto other = position( *adjacent );
                    if( other != vorna::INVALID_INDEX )
                    {
                        fans.join( position( use.polygon_id ), other );
                    }
                }
            }
            // Roots are the fans' smallest polygons, so position 0 is the
            // first fan, which keeps the vertex.
            std::vector< vorna::index_t > fan_vertex( polygons.size(),
                                                      vorna::INVALID_INDEX );
            fan_vertex[0] = vertex;
            const auto point = mesh_.point( vertex );
            const auto linked = unique_vertex( vertex );
            for( const auto& use : uses )
            {
                const auto fan = fans.root( position( use.polygon_id ) );
                if( fan_vertex[fan] == vorna::INVALID_INDEX )
                {
                    const auto copy = mesh_builder_.create_point( point );
                    mesh_.vertex_attribute_manager().copy_attribute_value(
                        vertex, copy );
                    if( linked != vorna::INVALID_INDEX )
                    {
                        identifier_builder_.set_unique_vertex(
                            { surface_id_, copy }, linked );
                    }
                    pairs.emplace_back(
                        vorna::ComponentMeshVertex{ surface_id_, vertex },
                        vorna::ComponentMeshVertex{ surface_id_, copy } );
                    fan_vertex[fan] = copy;
                }
                if( fan_vertex[fan] != vertex )
                {
                    mesh_builder_.set_polygon_vertex( use, fan_vertex[fan] );
                }
            }
        }

      private:
        const Model& model_;
        vorna::SurfaceMeshBuilder< D >& mesh_builder_;
        vorna::VertexIdentifierBuilder& identifier_builder_;
        const vorna::Surface< D >& surface_;
        const vorna::SurfaceMesh< D >& mesh_;
        const vorna::ComponentID surface_id_;
    };
} // namespace

namespace vorna
{
    namespace detail
    {
        template < typename Model, typename ModelBuilder, index_t D >
        std::vector< std::pair< ComponentMeshVertex, ComponentMeshVertex > >
        CutAlongInternalLines< Model, ModelBuilder, D >::cut_all_surfaces()
        {
            ModelBuilder builder{ model_ };
            CutPairs pairs;
            for( const auto& surface : model_.surfaces() )
            {
                if( model_.internal_lines( surface ).empty() )
                {
                    continue;
                }
                auto mesh_builder =
                    builder.surface_mesh_builder( surface.id() );
                SurfaceCutter< Model, D > cutter{
                    model_, *mesh_builder, builder, surface };
                cutter.cut( pairs );
            }
            return pairs;
        }

        template class CutAlongInternalLines< BRep, BRepBuilder, 3 >;
        template class CutAlongInternalLines< Section, SectionBuilder, 2 >;
    } // namespace detail
} // namespace vorna
