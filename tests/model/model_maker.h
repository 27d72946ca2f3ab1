#pragma once

#include <array>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include <vorna/basic/uuid.h>
#include <vorna/geometry/point.h>
#include <vorna/mesh/edged_curve_builder.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/corvane_model.h>
#include <vorna/model/section_builder.h>

namespace vorna
{
    namespace test
    {
        /// Builds small models whose component vertices share a unique vertex
        /// exactly when they share a point.
        template < typename Model, typename Builder, index_t D >
        struct ModelMaker
        {
            ModelMaker()
            {
                CorvaneModel::initialize();
            }

            /// The unique vertex at `point`, created on first use.
            index_t unique( const Point< D >& point )
            {
                auto it = uniques.find( point );
                if( it == uniques.end() )
                {
                    it =
                        uniques.emplace( point, builder.create_unique_vertex() )
                            .first;
                }
                return it->second;
            }

            /// A surface over the points and polygons, adjacencies computed.
            uuid
            add_surface( const std::vector< Point< D > >& points,
                         const std::vector< std::vector< index_t > >& polygons )
            {
                const uuid id = builder.add_surface();
                auto mesh = builder.surface_mesh_builder( id );
                for( const auto& point : points )
                {
                    mesh->create_point( point );
                }
                for( const auto& polygon : polygons )
                {
                    mesh->create_polygon( polygon );
                }
                mesh->compute_polygon_adjacencies();
                tie_surface_vertices( id );
                return id;
            }

            /// A surface holding a copy of the mesh.
            uuid add_surface_copy( const SurfaceMesh< D >& mesh )
            {
                const uuid id = builder.add_surface();
                builder.update_surface_mesh( model.surface( id ),
                                             mesh.clone() );
                tie_surface_vertices( id );
                return id;
            }

            /// A polyline through `points`; closed adds the edge back to 0.
            uuid add_line( const std::vector< Point< D > >& points,
                           bool closed = false )
            {
                const uuid id = builder.add_line();
                auto mesh = builder.line_mesh_builder( id );
                for( index_t v = 0; v < points.size(); v++ )
                {
                    mesh->create_point( points[v] );
                    builder.set_unique_vertex( { { "Line", id }, v },
                                               unique( points[v] ) );
                    if( v > 0 )
                    {
                        mesh->create_edge( v - 1, v );
                    }
                }
                if( closed )
                {
                    mesh->create_edge(
                        static_cast< index_t >( points.size() - 1 ), 0 );
                }
                return id;
            }

            /// add_line, the line then made internal to `surface`.
            uuid add_internal_line( const uuid& surface,
                                    const std::vector< Point< D > >& points,
                                    bool closed = false )
            {
                const auto line = add_line( points, closed );
                builder.add_line_surface_internal_relationship(
                    model.line( line ), model.surface( surface ) );
                return line;
            }

            Model model;
            Builder builder{ model };
            absl::flat_hash_map< Point< D >, index_t > uniques;

          private:
            void tie_surface_vertices( const uuid& id )
            {
                const auto& mesh = model.surface( id ).mesh();
                for( index_t v = 0; v < mesh.nb_vertices(); v++ )
                {
                    builder.set_unique_vertex( { { "Surface", id }, v },
                                               unique( mesh.point( v ) ) );
                }
            }
        };

        using BRepMaker = ModelMaker< BRep, BRepBuilder, 3 >;
        using SectionMaker = ModelMaker< Section, SectionBuilder, 2 >;

        /// The point (x, y), at z = 0 in 3D.
        template < index_t D >
        Point< D > make_point( double x, double y )
        {
            std::array< double, D > values{};
            values[0] = x;
            values[1] = y;
            return Point< D >{ values };
        }

        /// A square grid of n x n cells over [0, n]^2 (z = 0 in 3D), vertex
        /// (i, j) at index j * (n + 1) + i, each cell cut along its
        /// (i, j)-(i+1, j+1) diagonal into two triangles, row by row from
        /// y = 0.
        template < index_t D >
        std::pair< std::vector< Point< D > >,
                   std::vector< std::vector< index_t > > >
        make_grid( index_t n )
        {
            std::vector< Point< D > > points;
            for( index_t j = 0; j <= n; j++ )
            {
                for( index_t i = 0; i <= n; i++ )
                {
                    points.push_back( make_point< D >( i, j ) );
                }
            }
            std::vector< std::vector< index_t > > triangles;
            for( index_t j = 0; j < n; j++ )
            {
                for( index_t i = 0; i < n; i++ )
                {
                    const auto v = j * ( n + 1 ) + i;
                    triangles.push_back( { v, v + 1, v + n + 2 } );
                    triangles.push_back( { v, v + n + 2, v + n + 1 } );
                }
            }
            return { points, triangles };
        }

        /// Adds make_grid(n) as a surface of the maker's model.
        template < typename Model, typename Builder, index_t D >
        uuid add_grid( ModelMaker< Model, Builder, D >& maker, index_t n )
        {
            const auto grid = make_grid< D >( n );
            return maker.add_surface( grid.first, grid.second );
        }
    } // namespace test
} // namespace vorna
