#include <string>

#include <gtest/gtest.h>

#include <support/conversion_test.h>
#include <support/expect_error.h>
#include <support/fixtures.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/conversion/common/attribute.h>
#include <vorna/conversion/mesh_analysis/solid_identifier.h>
#include <vorna/conversion/mesh_analysis/surface_identifier.h>
#include <vorna/mesh/solid_mesh.h>
#include <vorna/mesh/solid_mesh_builder.h>
#include <vorna/mesh/surface_mesh_builder.h>

namespace
{
    using namespace vorna;
    using Groups = std::vector< std::vector< index_t > >;

    index_t label( const SurfaceMesh< 3 >& mesh, index_t polygon )
    {
        return mesh.polygon_attribute_manager()
            .find_attribute< index_t >( "surface_identifier" )
            ->value( polygon );
    }

    using SurfaceIdentifierTest = test::ModelTest;

    TEST_F( SurfaceIdentifierTest, empty_mesh_has_no_region )
    {
        const auto mesh = SurfaceMesh< 3 >::create();
        detail::SurfaceIdentifier< 3 > identifier{ *mesh };
        EXPECT_EQ( identifier.identify_polygons(), 0u );
        EXPECT_TRUE( identifier.identified_surfaces_polygons().empty() );
    }

    TEST_F( SurfaceIdentifierTest, regions_follow_stored_adjacency_only )
    {
        // Polygon 1 is cut off from its neighbours: polygons 0 and 2 stay
        // joined through the rest of the sheet.
        auto mesh = test::grid_sheet( 3, 1 );
        test::cut_adjacencies< 3 >(
            *mesh, []( index_t p ) { return p == 1 ? 1u : 0u; } );
        {
            detail::SurfaceIdentifier< 3 > identifier{ *mesh };
            EXPECT_EQ( identifier.identify_polygons(), 2u );
            EXPECT_EQ( identifier.identified_surfaces_polygons(),
                       ( Groups{ { 0, 2, 3, 4, 5 }, { 1 } } ) );
            // Nothing left to label: same count, same labels.
            EXPECT_EQ( identifier.identify_polygons(), 2u );
            EXPECT_EQ( label( *mesh, 1 ), 1u );
        }
        // The labels outlive the identifier.
        EXPECT_EQ( label( *mesh, 0 ), 0u );
        EXPECT_EQ( label( *mesh, 1 ), 1u );
        EXPECT_EQ( label( *mesh, 2 ), 0u );
    }

    TEST_F( SurfaceIdentifierTest, regions_are_numbered_by_smallest_polygon )
    {
        const auto mesh = test::nested_boxes();
        detail::SurfaceIdentifier< 3 > identifier{ *mesh };
        EXPECT_EQ( identifier.identify_polygons(), 2u );
        const auto groups = identifier.identified_surfaces_polygons();
        ASSERT_EQ( groups.size(), 2u );
        EXPECT_EQ( groups[0].size(), 12u );
        EXPECT_EQ( groups[0].front(), 0u );
        EXPECT_EQ( groups[1].front(), 12u );
    }

    TEST_F( SurfaceIdentifierTest, labels_from_elsewhere_are_rejected )
    {
        const auto mesh = test::closed_cube();
        mesh->polygon_attribute_manager()
            .find_or_create_attribute< VariableAttribute, index_t >(
                "surface_identifier", INVALID_INDEX )
            ->set_value( 3, 7 );
        detail::SurfaceIdentifier< 3 > identifier{ *mesh };
        identifier.identify_polygons();
        EXPECT_THROW( identifier.identified_surfaces_polygons(),
                      CorvaneException );
    }

    TEST_F( SurfaceIdentifierTest, other_storage_throws )
    {
        const auto mesh = test::closed_cube();
        mesh->polygon_attribute_manager()
            .find_or_create_attribute< VariableAttribute, uuid >(
                "surface_identifier", uuid{} );
        test::expect_exact_error(
            [&] { detail::SurfaceIdentifier< 3 > identifier{ *mesh }; },
            "[AttributeManager::find_or_create_attribute] Do not "
            "instantiate an attribute if an instantiated attribute of the "
            "same name with different storage already exists." );
    }

    TEST_F( SurfaceIdentifierTest, works_in_2d )
    {
        auto mesh = test::grid_sheet_2d( 2, 2 );
        test::cut_adjacencies< 2 >(
            *mesh, []( index_t p ) { return p < 4 ? 0u : 1u; } );
        detail::SurfaceIdentifier< 2 > identifier{ *mesh };
        EXPECT_EQ( identifier.identify_polygons(), 2u );
        EXPECT_EQ( identifier.identified_surfaces_polygons(),
                   ( Groups{ { 0, 1, 2, 3 }, { 4, 5, 6, 7 } } ) );
        EXPECT_EQ(
            std::string{
                detail::SurfaceIdentifier< 2 >::surface_id_attribute_name },
            "surface_identifier" );
        EXPECT_EQ(
            std::string{
                detail::SurfaceIdentifier< 3 >::surface_id_attribute_name },
            "surface_identifier" );
    }

    TEST_F( SurfaceIdentifierTest, solid_regions )
    {
        // Tetrahedra 0 and 1 share a facet; tetrahedron 2 stands apart.
        const auto solid = SolidMesh< 3 >::create();
        auto builder = SolidMeshBuilder< 3 >::create( *solid );
        for( const auto& point :
             std::vector< Point< 3 > >{ Point< 3 >{ { 0, 0, 0 } },
                                        Point< 3 >{ { 1, 0, 0 } },
                                        Point< 3 >{ { 0, 1, 0 } },
                                        Point< 3 >{ { 0, 0, 1 } },
                                        Point< 3 >{ { 1, 1, 1 } },
                                        Point< 3 >{ { 5, 5, 5 } },
                                        Point< 3 >{ { 6, 5, 5 } },
                                        Point< 3 >{ { 5, 6, 5 } },
                                        Point< 3 >{ { 5, 5, 6 } } } )
        {
            builder->create_point( point );
        }
        builder->create_tetrahedron( { 0, 1, 2, 3 } );
        builder->create_tetrahedron( { 5, 6, 7, 8 } );
        builder->create_tetrahedron( { 1, 2, 3, 4 } );
        builder->compute_polyhedron_adjacencies();
        detail::SolidIdentifier identifier{ *solid };
        EXPECT_EQ( identifier.identify_polyhedra(), 2u );
        EXPECT_EQ( identifier.identified_blocks_polyhedra(),
                   ( Groups{ { 0, 2 }, { 1 } } ) );
        EXPECT_EQ( solid->polyhedron_attribute_manager()
                       .find_attribute< index_t >(
                           detail::SolidIdentifier::block_id_attribute_name )
                       ->value( 1 ),
                   1u );
    }
} // namespace
