#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include <conversion/model/region_separation.h>
#include <vorna/conversion/common/attribute.h>
#include <vorna/conversion/conversion_model.h>
#include <vorna/mesh/solid_mesh.h>
#include <vorna/mesh/solid_mesh_builder.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>

#include "support/conversion_test.h"
#include "support/fixtures.h"
#include "support/mesh_queries.h"
#include "support/solid_fixtures.h"

namespace vorna
{
    namespace
    {
        class RegionSeparationTest : public test::ConversionTest
        {
          protected:
            // 2 x 2 cells, 8 triangles, all joined.
            RegionSeparationTest() : mesh( test::grid_sheet_2d( 2, 2 ) ) {}

            template < typename T >
            std::shared_ptr< VariableAttribute< T > >
            polygon_values( const std::vector< T >& values )
            {
                return test::set_values(
                    mesh->polygon_attribute_manager(), "region", values );
            }

            /// Separates by the attribute, then checks that exactly the
            /// adjacencies between polygons `same` calls alike are left.
            /// Returns the number of polygon sides cut.
            template < typename Same >
            index_t separate_and_check( const AttributeBase& attribute,
                                        const Same& same )
            {
                const auto before = test::polygon_adjacencies( *mesh );
                auto builder = SurfaceMeshBuilder< 2 >::create( *mesh );
                detail::unset_polygon_adjacencies_by_attribute(
                    *mesh, *builder, attribute );
                index_t nb_cut{ 0 };
                for( index_t p = 0; p < mesh->nb_polygons(); p++ )
                {
                    for( local_index_t e = 0; e < 3; e++ )
                    {
                        const auto q = before[3 * p + e];
                        nb_cut += q != INVALID_INDEX && !same( p, q );
                        const auto kept = q != INVALID_INDEX && same( p, q );
                        EXPECT_EQ( mesh->polygon_adjacent( { p, e } )
                                       .value_or( INVALID_INDEX ),
                                   kept ? q : INVALID_INDEX )
                            << "polygon " << p << " edge " << int( e );
                    }
                }
                return nb_cut;
            }

            std::unique_ptr< SurfaceMesh< 2 > > mesh;
        };

        TEST_F( RegionSeparationTest, integers_are_compared_exactly )
        {
            // Equal as floats, distinct as integers.
            const std::vector< unsigned int > values{ 16777216,
                                                      16777216,
                                                      16777217,
                                                      16777217,
                                                      16777216,
                                                      16777216,
                                                      16777217,
                                                      16777217 };
            ASSERT_EQ( static_cast< float >( values[0] ),
                       static_cast< float >( values[2] ) );
            const auto attribute = polygon_values( values );
            // The two columns of cells meet along two edges.
            EXPECT_EQ( separate_and_check( *attribute,
                                           [&]( index_t p, index_t q )
                                           { return values[p] == values[q]; } ),
                       4u );
        }

        TEST_F( RegionSeparationTest, nan_separates_and_signed_zeros_do_not )
        {
            const auto nan = std::numeric_limits< double >::quiet_NaN();
            const std::vector< double > values{
                0.0, -0.0, 0.0, nan, nan, -0.0, 0.0, 0.0 };
            const auto attribute = polygon_values( values );
            separate_and_check( *attribute,
                                []( index_t p, index_t q ) {
                                    return p != 3 && p != 4 && q != 3 && q != 4;
                                } );
            for( local_index_t e = 0; e < 3; e++ )
            {
                EXPECT_FALSE( mesh->polygon_adjacent( { 3, e } ) );
            }
        }

        TEST_F( RegionSeparationTest,
                values_without_float_reading_separate_nothing )
        {
            std::vector< uuid > values( 8 );
            const auto attribute = polygon_values( values );
            separate_and_check( *attribute,
                                []( index_t, index_t ) { return true; } );
        }

        TEST( RegionSeparation, polyhedra_keep_only_same_region_adjacencies )
        {
            ConversionModel::initialize();
            const auto solid = test::tetrahedral_grid( 2 );
            // Two regions: the cubes with x = 0 and those with x = 1.
            std::vector< int > values( solid->nb_polyhedra() );
            for( index_t p = 0; p < solid->nb_polyhedra(); p++ )
            {
                values[p] = ( p / 6 ) % 2 == 0 ? -7 : 7;
            }
            const auto regions = test::set_values(
                solid->polyhedron_attribute_manager(), "region", values );
            std::vector< index_t > before;
            index_t nb_across{ 0 };
            for( index_t p = 0; p < solid->nb_polyhedra(); p++ )
            {
                for( local_index_t f = 0; f < 4; f++ )
                {
                    const auto q = solid->polyhedron_adjacent( { p, f } )
                                       .value_or( INVALID_INDEX );
                    before.push_back( q );
                    nb_across += q != INVALID_INDEX && values[q] != values[p];
                }
            }
            // The plane x = 1 between the regions: 4 squares of 2 facets,
            // each seen from both sides.
            ASSERT_EQ( nb_across, 16u );
            detail::unset_polyhedron_adjacencies_by_attribute(
                *solid, *SolidMeshBuilder< 3 >::create( *solid ), *regions );
            for( index_t p = 0; p < solid->nb_polyhedra(); p++ )
            {
                for( local_index_t f = 0; f < 4; f++ )
                {
                    const auto q = before[4 * p + f];
                    const auto kept =
                        q != INVALID_INDEX && values[q] == values[p];
                    EXPECT_EQ( solid->polyhedron_adjacent( { p, f } )
                                   .value_or( INVALID_INDEX ),
                               kept ? q : INVALID_INDEX );
                }
            }

            // Float values, across the sixth facet of the first hexahedron
            // and the fifth of the second; the last two are one region.
            const auto row = test::hexahedral_grid( 3, 1, 1 );
            const auto floats =
                test::set_values( row->polyhedron_attribute_manager(),
                                  "region",
                                  std::vector< float >{ 0.25f, 0.5f, 0.5f } );
            detail::unset_polyhedron_adjacencies_by_attribute(
                *row, *SolidMeshBuilder< 3 >::create( *row ), *floats );
            std::vector< index_t > across;
            for( const PolyhedronFacet facet : { PolyhedronFacet{ 0, 5 },
                                                 PolyhedronFacet{ 1, 4 },
                                                 PolyhedronFacet{ 1, 5 },
                                                 PolyhedronFacet{ 2, 4 } } )
            {
                across.push_back( row->polyhedron_adjacent( facet ).value_or(
                    INVALID_INDEX ) );
            }
            EXPECT_EQ( across,
                       ( std::vector< index_t >{
                           INVALID_INDEX, INVALID_INDEX, 2, 1 } ) );
        }
    } // namespace
} // namespace vorna
