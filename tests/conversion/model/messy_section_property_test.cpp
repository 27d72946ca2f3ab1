// Property test: seeded messy 2D meshes (grids of triangles or quads and
// polygon soups, in pieces apart, touching, nearly touching or overlapping;
// flipped, duplicated, collapsed and repeated-vertex polygons, fins on
// edges, nudged vertices, missing, one-sided and stale adjacency,
// non-finite points, region attributes of several value types), converted
// as one mesh, as several or by attribute. Every conversion either refuses
// with a CorvaneException or gives a consistent Section holding every
// input polygon once; by attribute, no surface holds two regions.
//
// Run longer by hand through the environment of support/property_seeds.h,
// e.g. VORNA_PROPERTY_SEEDS=20000 VORNA_PROPERTY_THREADS=1
// ./vorna-messy-section-property-test

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/strings/str_cat.h>

#include <vorna/conversion/common/attribute.h>
#include <vorna/conversion/model/convert_surfaces_into_section.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/section.h>
#include <vorna/model/surface.h>

#include <support/fixtures.h>
#include <support/model_checks.h>
#include <support/property_seeds.h>

namespace
{
    using namespace vorna;

    using Polygons = std::vector< std::vector< index_t > >;

    enum struct Road
    {
        one_mesh,
        several_meshes,
        by_attribute
    };

    struct SectionCase
    {
        std::vector< std::unique_ptr< SurfaceMesh< 2 > > > meshes;
        Road road{ Road::one_mesh };
        std::string recipe;
        /// Whether anything was done that may make the input unusable.
        bool damaged{ false };
        bool non_finite{ false };
    };

    class SectionGenerator : test::Randomness
    {
      public:
        explicit SectionGenerator( index_t seed ) : Randomness( seed ) {}

        SectionCase make()
        {
            SectionCase input;
            input.road = static_cast< Road >( pick( 3 ) );
            const auto nb_pieces = chance( 0.03 ) ? 0 : 1 + pick( 3 );
            std::vector< Polygons > pieces;
            double x{ 0 };
            for( index_t piece = 0; piece < nb_pieces; piece++ )
            {
                pieces.emplace_back();
                x = add_piece( x, pieces.back(), input );
            }
            place( input.recipe );
            const bool several = input.road == Road::several_meshes;
            std::vector< Polygons > parts( several ? 1 + pick( 3 ) : 1 );
            for( const auto& piece : pieces )
            {
                // A piece in one mesh, or spread over them.
                const bool spread = chance( 0.3 );
                const auto part = pick( parts.size() );
                for( const auto& polygon : piece )
                {
                    parts[spread ? pick( parts.size() ) : part].push_back(
                        polygon );
                }
            }
            for( auto& part : parts )
            {
                damage_polygons( part, input );
            }
            const bool adjacencies = chance( 0.7 );
            input.recipe += adjacencies ? "" : " no adjacency";
            for( index_t m = 0; m < parts.size(); m++ )
            {
                input.meshes.push_back( test::surface_of< 2 >(
                    points_,
                    parts[m],
                    adjacencies,
                    chance( 0.5 ) ? absl::StrCat( "m", m ) : "" ) );
                auto& mesh = *input.meshes.back();
                auto builder = SurfaceMeshBuilder< 2 >::create( mesh );
                if( adjacencies && chance( 0.15 ) )
                {
                    damage_adjacency( mesh, *builder, input );
                }
                if( mesh.nb_polygons() > 0 && chance( 0.04 ) )
                {
                    const auto vertex = mesh.polygon_vertex(
                        { pick( mesh.nb_polygons() ), 0 } );
                    auto at = mesh.point( vertex );
                    at.set_value(
                        pick( 2 ),
                        chance( 0.5 )
                            ? std::numeric_limits< double >::quiet_NaN()
                            : std::numeric_limits< double >::infinity() );
                    builder->set_point( vertex, at );
                    input.non_finite = true;
                    input.recipe += " non-finite";
                }
            }
            if( input.road == Road::by_attribute )
            {
                add_regions( *input.meshes.front(), input.recipe );
            }
            return input;
        }

      private:
        index_t new_point( double x, double y )
        {
            points_.push_back( Point< 2 >{ { x, y } } );
            return static_cast< index_t >( points_.size() - 1 );
        }

        /// A piece from x = `start`; returns where the next one starts:
        /// right after it (common points duplicated), nearly so, a little
        /// inside it (overlapping) or apart.
        double add_piece( double start, Polygons& polygons, SectionCase& input )
        {
            const auto nx = 1 + pick( 3 );
            const auto ny = 1 + pick( 3 );
            const auto first = static_cast< index_t >( points_.size() );
            for( index_t j = 0; j <= ny; j++ )
            {
                for( index_t i = 0; i <= nx; i++ )
                {
                    new_point( start + i, j );
                }
            }
            const auto vertex = [first, nx]( index_t i, index_t j )
            { return first + j * ( nx + 1 ) + i; };
            if( chance( 0.15 ) )
            {
                // A soup of cell halves and whole cells, meeting along grid
                // edges or overlapping.
                const auto nb = 1 + pick( 2 * nx * ny );
                for( index_t k = 0; k < nb; k++ )
                {
                    const auto i = pick( nx );
                    const auto j = pick( ny );
                    std::vector< index_t > cell{ vertex( i, j ),
                                                 vertex( i + 1, j ),
                                                 vertex( i + 1, j + 1 ),
                                                 vertex( i, j + 1 ) };
                    std::rotate(
                        cell.begin(), cell.begin() + pick( 4 ), cell.end() );
                    if( chance( 0.5 ) )
                    {
                        cell.pop_back();
                    }
                    polygons.push_back( cell );
                }
                input.recipe += absl::StrCat( " soup ", nb );
                input.damaged = true;
            }
            else
            {
                const bool quads = chance( 0.3 );
                for( index_t j = 0; j < ny; j++ )
                {
                    for( index_t i = 0; i < nx; i++ )
                    {
                        if( quads )
                        {
                            polygons.push_back( { vertex( i, j ),
                                                  vertex( i + 1, j ),
                                                  vertex( i + 1, j + 1 ),
                                                  vertex( i, j + 1 ) } );
                            continue;
                        }
                        polygons.push_back( { vertex( i, j ),
                                              vertex( i + 1, j ),
                                              vertex( i + 1, j + 1 ) } );
                        polygons.push_back( { vertex( i, j ),
                                              vertex( i + 1, j + 1 ),
                                              vertex( i, j + 1 ) } );
                    }
                }
                input.recipe +=
                    absl::StrCat( quads ? " quads " : " grid ", nx, "x", ny );
            }
            const double gaps[] = { 0, 5e-7, 1e-4, -0.5, 2 };
            const auto gap = gaps[pick( 5 )];
            absl::StrAppend( &input.recipe, " +", gap );
            return start + nx + gap;
        }

        /// Scales and moves every point: far from the origin, tiny or huge.
        void place( std::string& recipe )
        {
            double scale{ 1 };
            double offset{ 0 };
            switch( pick( 5 ) )
            {
            case 0:
                scale = 1e-3;
                break;
            case 1:
                scale = 1e5;
                break;
            case 2:
                offset = 1e6;
                break;
            default:
                return;
            }
            absl::StrAppend( &recipe, " x", scale, " +", offset );
            for( auto& point : points_ )
            {
                point = Point< 2 >{ { offset + scale * point.value( 0 ),
                                      offset + scale * point.value( 1 ) } };
            }
        }

        void damage_polygons( Polygons& polygons, SectionCase& input )
        {
            const auto nb_damages = chance( 0.5 ) ? 0 : 1 + pick( 2 );
            for( index_t d = 0; d < nb_damages && !polygons.empty(); d++ )
            {
                input.damaged = true;
                auto& polygon = polygons[pick( polygons.size() )];
                switch( pick( 7 ) )
                {
                case 0:
                    std::reverse( polygon.begin(), polygon.end() );
                    input.recipe += " flip";
                    break;
                case 1: // duplicated, maybe reversed
                {
                    auto copy = polygon;
                    if( chance( 0.5 ) )
                    {
                        std::reverse( copy.begin(), copy.end() );
                    }
                    polygons.push_back( copy );
                    input.recipe += " duplicate";
                    break;
                }
                case 2: // vertex merged into the next one
                {
                    const auto k = pick( polygon.size() );
                    polygon[k] = polygon[( k + 1 ) % polygon.size()];
                    input.recipe += " merge";
                    break;
                }
                case 3: // a vertex listed again further on
                    polygon.insert( polygon.begin() + 2, polygon[0] );
                    input.recipe += " pinch";
                    break;
                case 4: // collapsed onto one point, over distinct vertices
                {
                    const auto at = points_[polygon[0]];
                    for( auto& vertex : polygon )
                    {
                        vertex = new_point( at.value( 0 ), at.value( 1 ) );
                    }
                    input.recipe += " collapse";
                    break;
                }
                case 5: // fin on an edge: non-manifold
                {
                    const auto& a = points_[polygon[0]];
                    const auto fin = new_point( a.value( 0 ) + real( -1, 1 ),
                                                a.value( 1 ) + real( -1, 1 ) );
                    polygons.push_back( { polygon[0], polygon[1], fin } );
                    input.recipe += " fin";
                    break;
                }
                default: // vertex nudged below the merging distance
                {
                    const auto& a = points_[polygon[0]];
                    polygon[0] = new_point( a.value( 0 ) + 1e-7, a.value( 1 ) );
                    input.recipe += " nudge";
                }
                }
            }
        }

        void damage_adjacency( const SurfaceMesh< 2 >& mesh,
                               SurfaceMeshBuilder< 2 >& builder,
                               SectionCase& input )
        {
            if( mesh.nb_polygons() == 0 )
            {
                return;
            }
            const auto p = pick( mesh.nb_polygons() );
            const PolygonEdge edge{ p,
                                    static_cast< local_index_t >(
                                        pick( mesh.nb_polygon_edges( p ) ) ) };
            input.damaged = true;
            if( chance( 0.5 ) )
            {
                builder.set_polygon_adjacent( edge,
                                              pick( mesh.nb_polygons() ) );
                input.recipe += " stale adjacency";
            }
            else
            {
                builder.unset_polygon_adjacent( edge );
                input.recipe += " one-sided adjacency";
            }
        }

        /// Region values by polygon at random or by column.
        void add_regions( SurfaceMesh< 2 >& mesh, std::string& recipe )
        {
            const auto nb = mesh.nb_polygons();
            std::vector< double > values( nb );
            const bool columns = chance( 0.5 );
            for( index_t p = 0; p < nb; p++ )
            {
                values[p] =
                    columns ? std::floor(
                                  mesh.point( mesh.polygon_vertex( { p, 0 } ) )
                                      .value( 0 ) )
                            : pick( 3 );
            }
            absl::StrAppend(
                &recipe,
                " ",
                test::add_regions(
                    mesh.polygon_attribute_manager(), values, *this ) );
        }

        std::vector< Point< 2 > > points_;
    };

    Section convert( SectionCase& input )
    {
        switch( input.road )
        {
        case Road::one_mesh:
            return convert_surface_into_section( *input.meshes.front() );
        case Road::several_meshes:
        {
            std::vector< std::reference_wrapper< const SurfaceMesh< 2 > > >
                meshes;
            for( const auto& mesh : input.meshes )
            {
                meshes.emplace_back( *mesh );
            }
            return convert_surfaces_into_section( meshes );
        }
        default:
            return convert_surface_into_section_from_attribute(
                *input.meshes.front(), "region" );
        }
    }

    /// The region value of each polygon as the conversion compares them
    /// (every value of the generator's numeric types is exact as a
    /// double); null for text values, which no number reads.
    std::function< double( index_t ) >
    region_values( const SurfaceMesh< 2 >& mesh )
    {
        const auto base =
            mesh.polygon_attribute_manager().find_attribute_base( "region" );
        const auto reader = [&base]( auto type )
        {
            using T = decltype( type );
            std::function< double( index_t ) > read;
            if( const auto typed =
                    std::dynamic_pointer_cast< ReadOnlyAttribute< T > >(
                        base ) )
            {
                read = [typed]( index_t p )
                { return static_cast< double >( typed->value( p ) ); };
            }
            return read;
        };
        for( auto read : { reader( int{} ),
                           reader( 0u ),
                           reader( double{} ),
                           reader( float{} ) } )
        {
            if( read )
            {
                return read;
            }
        }
        return {};
    }

    /// Empty when no surface holds polygons of two distinct region values
    /// (a NaN differs from every value): the caller's mesh tells the
    /// surface of each polygon.
    std::string mixed_regions( const SurfaceMesh< 2 >& mesh )
    {
        const auto value = region_values( mesh );
        if( !value )
        {
            return {};
        }
        const auto surface =
            mesh.polygon_attribute_manager().find_attribute< uuid >(
                "surface_uuid" );
        absl::flat_hash_map< uuid, index_t > first_polygon;
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            const auto first =
                first_polygon.emplace( surface->value( p ), p ).first->second;
            if( first != p && !( value( first ) == value( p ) ) )
            {
                return absl::StrCat( "polygons ",
                                     first,
                                     " and ",
                                     p,
                                     " of distinct regions share a surface" );
            }
        }
        return {};
    }

    /// Empty when the conversion of the seed's meshes is sound.
    std::string check_seed( index_t seed )
    {
        auto input = SectionGenerator{ seed }.make();
        const auto problem = test::refused_or_sound(
            input.damaged || input.non_finite,
            [&input]() -> std::string
            {
                const auto section = convert( input );
                if( input.non_finite )
                {
                    return "a non-finite point was taken";
                }
                const auto consistent =
                    test::check_section_consistency( section );
                if( !consistent )
                {
                    return consistent.message();
                }
                index_t nb_input{ 0 };
                for( const auto& mesh : input.meshes )
                {
                    nb_input += mesh->nb_polygons();
                }
                index_t nb_held{ 0 };
                for( const auto& surface : section.surfaces() )
                {
                    nb_held += surface.mesh().nb_polygons();
                }
                if( nb_held != nb_input )
                {
                    return absl::StrCat( "the surfaces hold ",
                                         nb_held,
                                         " of ",
                                         nb_input,
                                         " polygons" );
                }
                return input.road == Road::by_attribute
                           ? mixed_regions( *input.meshes.front() )
                           : "";
            } );
        const char* roads[] = { "one mesh", "several meshes", "by attribute" };
        return problem.empty()
                   ? problem
                   : absl::StrCat( "(",
                                   roads[static_cast< int >( input.road )],
                                   ":",
                                   input.recipe,
                                   "): ",
                                   problem );
    }

    TEST( MessySectionProperty, every_conversion_refuses_or_is_sound )
    {
        test::expect_sound_environment_seeds( 300, check_seed );
    }
} // namespace
