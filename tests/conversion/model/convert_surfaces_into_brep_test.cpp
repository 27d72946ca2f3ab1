#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include <vorna/basic/logger.h>
#include <vorna/conversion/conversion_model.h>
#include <vorna/conversion/model/brep_from_meshes_builder.h>
#include <vorna/conversion/model/convert_surfaces_into_brep.h>
#include <vorna/geometry/vector.h>
#include <vorna/model/block.h>
#include <vorna/model/brep.h>
#include <vorna/model/corner.h>
#include <vorna/model/line.h>
#include <vorna/model/model_boundary.h>
#include <vorna/model/surface.h>

#include <support/block_fixtures.h>
#include <support/conversion_test.h>
#include <support/expect_error.h>
#include <support/fixtures.h>
#include <support/model_checks.h>

namespace
{
    using namespace vorna;
    using vorna::test::as_references;
    using vorna::test::check_brep_consistency;
    using vorna::test::check_conversion;
    using vorna::test::check_mappings;
    using vorna::test::LogCapture;
    using vorna::test::make_box_mesh;
    using vorna::test::make_grid_sheet;
    using vorna::test::point;
    using vorna::test::polyline;

    using VertexMapping = GenericMapping< MeshVertex, ComponentMeshVertex >;
    using ElementMapping = GenericMapping< MeshElement, ComponentMeshElement >;
    using test::SurfaceRefs;

    // Components named by kind and position in the model's order, so that
    // two conversions of the same input compare although their uuids
    // differ.
    class ModelLayout
    {
      public:
        explicit ModelLayout( const BRep& brep )
            : names_( test::component_names( brep ) )
        {
            for( const auto& corner : brep.corners() )
            {
                add_relations( brep, corner.id() );
            }
            for( const auto& line : brep.lines() )
            {
                add_relations( brep, line.id() );
            }
            for( const auto& surface : brep.surfaces() )
            {
                add_relations( brep, surface.id() );
                summary_.push_back(
                    names_.at( surface.id() ) + " polygons " +
                    std::to_string( surface.mesh().nb_polygons() ) );
            }
            for( const auto& boundary : brep.model_boundaries() )
            {
                std::string items{ "boundary " +
                                   std::string{ boundary.name() } };
                for( const auto& item : brep.items( boundary.id() ) )
                {
                    items += " " + names_.at( item.id() );
                }
                summary_.push_back( items );
            }
        }

        std::string name( const uuid& id ) const
        {
            return names_.at( id );
        }

        const std::vector< std::string >& summary() const
        {
            return summary_;
        }

      private:
        void add_relations( const BRep& brep, const uuid& id )
        {
            for( const auto& boundary : brep.boundaries( id ) )
            {
                summary_.push_back( names_.at( boundary.id() ) + " bounds " +
                                    names_.at( id ) );
            }
            for( const auto& embedding : brep.embeddings( id ) )
            {
                summary_.push_back( names_.at( id ) + " inside " +
                                    names_.at( embedding.id() ) );
            }
        }

        absl::flat_hash_map< uuid, std::string > names_;
        std::vector< std::string > summary_;
    };

    /// The mapping's entries, its values named by the layout.
    template < typename In, typename Out >
    std::map< std::string, std::vector< std::string > >
    entries( const GenericMapping< In, Out >& mapping,
             const ModelLayout& layout,
             index_t In::*in_index,
             index_t Out::*out_index )
    {
        std::map< std::string, std::vector< std::string > > result;
        for( const auto& entry : mapping.in2out_map() )
        {
            auto& values = result[entry.first.mesh_id.string() + " " +
                                  std::to_string( entry.first.*in_index )];
            for( const auto& out : entry.second )
            {
                values.push_back( layout.name( out.component_id.id() ) + " " +
                                  std::to_string( out.*out_index ) );
            }
        }
        return result;
    }

    std::map< std::string, std::vector< std::string > >
    vertex_entries( const VertexMapping& mapping, const ModelLayout& layout )
    {
        return entries( mapping,
                        layout,
                        &MeshVertex::vertex,
                        &ComponentMeshVertex::vertex );
    }

    std::map< std::string, std::vector< std::string > >
    element_entries( const ElementMapping& mapping, const ModelLayout& layout )
    {
        return entries( mapping,
                        layout,
                        &MeshElement::element,
                        &ComponentMeshElement::element );
    }

    using ConvertSurfacesIntoBRepTest = test::ConversionTest;

    TEST_F( ConvertSurfacesIntoBRepTest,
            closed_mesh_gives_one_block_and_boundary )
    {
        const auto box = make_box_mesh(
            point( 0, 0, 0 ), point( 1, 1, 1 ), 3, false, "box" );
        const auto result = convert_surface_into_brep( *box );
        const auto& brep = std::get< 0 >( result );
        EXPECT_EQ( brep.nb_surfaces(), 1 );
        EXPECT_EQ( brep.nb_lines(), 0 );
        ASSERT_EQ( brep.nb_blocks(), 1 );
        ASSERT_EQ( brep.nb_model_boundaries(), 1 );
        const auto& boundary = *brep.model_boundaries().begin();
        EXPECT_EQ( boundary.name(), "box" );
        EXPECT_EQ( brep.nb_items( boundary.id() ), 1 );
        EXPECT_TRUE( check_conversion( result, { *box } ) );
    }

    TEST_F( ConvertSurfacesIntoBRepTest,
            one_mesh_alone_or_in_a_span_converts_alike )
    {
        const auto box = make_box_mesh(
            point( 0, 0, 0 ), point( 1, 1, 1 ), 2, false, "box" );
        const auto sheet = make_grid_sheet( point( 0, 0, 0 ),
                                            Vector3D{ { 1, 0, 0 } },
                                            Vector3D{ { 0, 1, 0 } },
                                            3,
                                            2,
                                            "sheet" );
        for( const auto* mesh : { box.get(), sheet.get() } )
        {
            const auto alone = convert_surface_into_brep( *mesh );
            const SurfaceRefs one{ *mesh };
            const auto in_span = convert_surfaces_into_brep( one );
            const auto with_no_curve =
                convert_curves_and_surfaces_into_brep( {}, one );
            EXPECT_TRUE( check_conversion( alone, one ) );
            const ModelLayout layout{ std::get< 0 >( alone ) };
            for( const auto* other : { &in_span, &with_no_curve } )
            {
                const ModelLayout other_layout{ std::get< 0 >( *other ) };
                EXPECT_EQ( layout.summary(), other_layout.summary() );
                EXPECT_EQ(
                    vertex_entries( std::get< 1 >( alone ), layout ),
                    vertex_entries( std::get< 1 >( *other ), other_layout ) );
                EXPECT_EQ(
                    element_entries( std::get< 2 >( alone ), layout ),
                    element_entries( std::get< 2 >( *other ), other_layout ) );
            }
        }
    }

    TEST_F( ConvertSurfacesIntoBRepTest,
            builds_without_blocks_with_the_same_mappings )
    {
        const auto box = make_box_mesh(
            point( 0, 0, 0 ), point( 1, 1, 1 ), 2, false, "box" );
        const SurfaceRefs surfaces{ *box };
        BRep without;
        detail::BRepFromMeshesBuilder::Mappings without_mappings;
        {
            detail::BRepFromMeshesBuilder builder{ without, {}, surfaces };
            without_mappings = builder.build_brep_without_blocks();
            // One build per builder: a second would add every component
            // again.
            test::expect_exact_error(
                [&] { builder.build_brep_with_blocks(); },
                "[BRepFromMeshesBuilder::build_brep_with_blocks] The model is "
                "built already" );
            test::expect_exact_error(
                [&] { builder.build_brep_without_blocks(); },
                "[BRepFromMeshesBuilder::build_brep_without_blocks] The model "
                "is built already" );
        }
        EXPECT_EQ( without.nb_blocks(), 0 );
        EXPECT_EQ( without.nb_model_boundaries(), 0 );
        EXPECT_TRUE( check_brep_consistency( without ) );
        EXPECT_TRUE( check_mappings( without,
                                     without_mappings.first,
                                     without_mappings.second,
                                     surfaces ) );
        const auto with = convert_surfaces_into_brep( surfaces );
        const ModelLayout without_layout{ without };
        const ModelLayout with_layout{ std::get< 0 >( with ) };
        EXPECT_EQ( vertex_entries( without_mappings.first, without_layout ),
                   vertex_entries( std::get< 1 >( with ), with_layout ) );
        EXPECT_EQ( element_entries( without_mappings.second, without_layout ),
                   element_entries( std::get< 2 >( with ), with_layout ) );
    }

    TEST_F( ConvertSurfacesIntoBRepTest,
            open_sheet_gives_no_block_nor_boundary )
    {
        const auto sheet = make_grid_sheet( point( 0, 0, 0 ),
                                            Vector3D{ { 1, 0, 0 } },
                                            Vector3D{ { 0, 1, 0 } },
                                            4,
                                            4,
                                            "sheet" );
        LogCapture log;
        const auto result = convert_surface_into_brep( *sheet );
        const auto& brep = std::get< 0 >( result );
        EXPECT_EQ(
            log.count(
                Logger::Level::info,
                "[BRepBlocksBuilder::build_blocks] No Block were built" ),
            1 );
        EXPECT_EQ( brep.nb_blocks(), 0 );
        EXPECT_EQ( brep.nb_model_boundaries(), 0 );
        EXPECT_EQ( brep.nb_surfaces(), 1 );
        EXPECT_TRUE( check_conversion( result, { *sheet } ) );
    }

    TEST_F( ConvertSurfacesIntoBRepTest, boxes_sharing_a_face )
    {
        for( const bool same_name : { false, true } )
        {
            const auto left = make_box_mesh(
                point( 0, 0, 0 ), point( 1, 1, 1 ), 2, false, "left" );
            const auto right = make_box_mesh( point( 1, 0, 0 ),
                                              point( 2, 1, 1 ),
                                              2,
                                              true,
                                              same_name ? "left" : "right" );
            const SurfaceRefs surfaces{ *left, *right };
            const auto result = convert_surfaces_into_brep( surfaces );
            const auto& brep = std::get< 0 >( result );
            ASSERT_EQ( brep.nb_blocks(), 2 );
            ASSERT_EQ( brep.nb_surfaces(), 3 );
            // Each box's five faces bound its block; the shared face bounds
            // both and joins no model boundary.
            std::vector< index_t > incidences;
            for( const auto& surface : brep.surfaces() )
            {
                incidences.push_back( brep.nb_incidences( surface.id() ) );
                if( incidences.back() == 2 )
                {
                    EXPECT_EQ( brep.nb_collections( surface.id() ), 0 );
                }
            }
            std::sort( incidences.begin(), incidences.end() );
            EXPECT_EQ( incidences, ( std::vector< index_t >{ 1, 1, 2 } ) );
            std::vector< std::string > names;
            for( const auto& boundary : brep.model_boundaries() )
            {
                names.emplace_back( boundary.name() );
                EXPECT_EQ( brep.nb_items( boundary.id() ), same_name ? 2 : 1 );
            }
            const std::vector< std::string > expected_names =
                same_name ? std::vector< std::string >{ "left" }
                          : std::vector< std::string >{ "left", "right" };
            EXPECT_EQ( names, expected_names );
            EXPECT_TRUE( check_conversion( result, surfaces ) );
        }
    }

    TEST_F( ConvertSurfacesIntoBRepTest,
            vertex_on_internal_line_maps_to_both_sides )
    {
        // The curve runs along x = 1 across the sheet, through its vertex
        // (1, 1, 0).
        const auto sheet = test::grid_sheet( 2, 2, "sheet" );
        const auto curve = polyline< 3 >(
            { point( 1, 0, 0 ), point( 1, 1, 0 ), point( 1, 2, 0 ) }, false );
        const std::reference_wrapper< const EdgedCurve< 3 > > curves[] = {
            *curve };
        const SurfaceRefs surfaces{ *sheet };
        const auto result =
            convert_curves_and_surfaces_into_brep( curves, surfaces );
        const auto& vertices = std::get< 1 >( result );
        EXPECT_TRUE( check_conversion( result, surfaces, curves ) );
        const index_t middle = 4;
        ASSERT_EQ( sheet->point( middle ), point( 1, 1, 0 ) );
        std::set< std::pair< std::string, index_t > > surface_vertices;
        for( const auto& out : vertices.in2out( { sheet->id(), middle } ) )
        {
            EXPECT_EQ( out.component_id.type().get(), "Surface" );
            surface_vertices.emplace( out.component_id.id().string(),
                                      out.vertex );
        }
        EXPECT_EQ( surface_vertices.size(), 2 );
        // The curve's own vertex maps to line vertices only.
        for( const auto& out : vertices.in2out( { curve->id(), 1 } ) )
        {
            EXPECT_EQ( out.component_id.type().get(), "Line" );
        }
    }

    // Run under the thread checker: the wireframe step groups polygons on
    // the calling thread while a pool task builds the wireframe.
    TEST_F( ConvertSurfacesIntoBRepTest,
            concurrent_halves_of_the_wireframe_step )
    {
        const auto left = make_box_mesh(
            point( 0, 0, 0 ), point( 1, 1, 1 ), 4, false, "left" );
        const auto right = make_box_mesh(
            point( 1, 0, 0 ), point( 2, 1, 1 ), 4, false, "right" );
        const auto curve = polyline< 3 >(
            { point( 0, 0.5, 1 ), point( 1, 0.5, 1 ), point( 2, 0.5, 1 ) },
            false );
        const std::reference_wrapper< const EdgedCurve< 3 > > curves[] = {
            *curve };
        const SurfaceRefs surfaces{ *left, *right };
        const auto result =
            convert_curves_and_surfaces_into_brep( curves, surfaces );
        const auto& brep = std::get< 0 >( result );
        // Corners at the curve's ends and where it crosses the shared
        // face's rim; lines: the curve's two halves and that rim.
        EXPECT_EQ( brep.nb_corners(), 3 );
        EXPECT_EQ( brep.nb_lines(), 3 );
        EXPECT_EQ( brep.nb_surfaces(), 3 );
        EXPECT_EQ( brep.nb_blocks(), 2 );
        EXPECT_TRUE( check_conversion( result, surfaces, curves ) );
    }

    TEST_F( ConvertSurfacesIntoBRepTest, bool_attributes_reach_the_surfaces )
    {
        const auto cube = test::closed_cube();
        std::vector< bool > top, odd;
        for( index_t v = 0; v < cube->nb_vertices(); v++ )
        {
            top.push_back( cube->point( v ).value( 2 ) > 0.5 );
        }
        for( index_t p = 0; p < cube->nb_polygons(); p++ )
        {
            odd.push_back( p % 2 == 1 );
        }
        test::set_values( cube->vertex_attribute_manager(), "top", top );
        test::set_values( cube->polygon_attribute_manager(), "odd", odd );
        const auto result = convert_surface_into_brep( *cube );
        const auto& brep = std::get< 0 >( result );
        index_t nb_wrong{ 0 };
        for( index_t p = 0; p < cube->nb_polygons(); p++ )
        {
            const auto& out =
                std::get< 2 >( result ).in2out( { cube->id(), p } ).front();
            nb_wrong += brep.surface( out.component_id.id() )
                            .mesh()
                            .polygon_attribute_manager()
                            .find_attribute< bool >( "odd" )
                            ->value( out.element ) != odd[p];
        }
        for( index_t v = 0; v < cube->nb_vertices(); v++ )
        {
            for( const auto& out :
                 std::get< 1 >( result ).in2out( { cube->id(), v } ) )
            {
                nb_wrong += brep.surface( out.component_id.id() )
                                .mesh()
                                .vertex_attribute_manager()
                                .find_attribute< bool >( "top" )
                                ->value( out.vertex ) != top[v];
            }
        }
        EXPECT_EQ( nb_wrong, 0u );
    }

    TEST_F( ConvertSurfacesIntoBRepTest, leaves_no_attribute_on_the_inputs )
    {
        const auto box = make_box_mesh(
            point( 0, 0, 0 ), point( 1, 1, 1 ), 2, false, "box" );
        const auto other = make_box_mesh(
            point( 1, 0, 0 ), point( 2, 1, 1 ), 2, false, "other" );
        EXPECT_TRUE(
            check_conversion( convert_surface_into_brep( *box ), { *box } ) );
        const SurfaceRefs both{ *box, *other };
        EXPECT_TRUE(
            check_conversion( convert_surfaces_into_brep( both ), both ) );
        for( const auto* mesh : { box.get(), other.get() } )
        {
            EXPECT_TRUE(
                mesh->vertex_attribute_manager().attribute_names().empty() );
            EXPECT_TRUE(
                mesh->polygon_attribute_manager().attribute_names().empty() );
        }
    }
} // namespace
