#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <absl/container/flat_hash_map.h>
#include <absl/strings/str_cat.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/mesh_factory.h>
#include <vorna/mesh/point_set_builder.h>
#include <vorna/mesh/solid_mesh.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/model_mapping.h>
#include <vorna/model/section_builder.h>
#include <vorna/model/sided_surface.h>

#include "model/cube_model.h"
#include "support/expect_error.h"

namespace vorna
{
    namespace
    {
        template < typename Range >
        std::vector< uuid > ids( const Range& range )
        {
            std::vector< uuid > result;
            for( const auto& component : range )
            {
                result.push_back( component.id() );
            }
            return result;
        }

        std::vector< uuid > ids( absl::Span< const ComponentID > related )
        {
            std::vector< uuid > result;
            for( const auto& id : related )
            {
                result.push_back( id.id() );
            }
            return result;
        }

        using test::expect_error;
    } // namespace

    TEST( BRepRelationships, CubeCountersAndRanges )
    {
        const auto cube = test::build_cube_model();
        const auto& brep = cube.brep;
        EXPECT_EQ( brep.nb_corners(), 8u );
        EXPECT_EQ( brep.nb_lines(), 12u );
        EXPECT_EQ( brep.nb_surfaces(), 6u );
        EXPECT_EQ( brep.nb_blocks(), 1u );
        EXPECT_EQ( brep.nb_model_boundaries(), 1u );
        EXPECT_EQ(
            ids( brep.corners() ),
            std::vector< uuid >( cube.corners.begin(), cube.corners.end() ) );
        EXPECT_EQ(
            ids( brep.lines() ),
            std::vector< uuid >( cube.lines.begin(), cube.lines.end() ) );

        for( const auto& corner : cube.corners )
        {
            EXPECT_EQ( brep.nb_incidences( corner ), 3u );
            EXPECT_EQ( brep.nb_boundaries( corner ), 0u );
            EXPECT_EQ( brep.nb_embeddings( corner ), 0u );
        }
        for( index_t l = 0; l < 12; l++ )
        {
            const auto& line = brep.line( cube.lines[l] );
            EXPECT_EQ( brep.nb_boundaries( line.id() ), 2u );
            EXPECT_EQ( brep.nb_incidences( line.id() ), 2u );
            // Corners were linked in (smaller, larger) order.
            const auto& ends = cube.line_vertices[l];
            EXPECT_EQ( ids( brep.boundaries( line ) ),
                       ( std::vector< uuid >{ cube.corners[ends[0]],
                                              cube.corners[ends[1]] } ) );
        }
        for( const auto& id : cube.surfaces )
        {
            const auto& surface = brep.surface( id );
            EXPECT_EQ( brep.nb_boundaries( id ), 4u );
            EXPECT_EQ( brep.nb_incidences( id ), 1u );
            EXPECT_EQ( brep.nb_internals( id ), 0u );
            EXPECT_TRUE(
                brep.is_boundary( surface, brep.block( cube.block ) ) );
            EXPECT_FALSE(
                brep.is_internal( surface, brep.block( cube.block ) ) );
            EXPECT_EQ( ids( brep.incidences( surface ) ),
                       std::vector< uuid >{ cube.block } );
            EXPECT_TRUE( brep.internal_lines( surface ).empty() );
            // Each boundary line joins two consecutive quad corners.
            for( const auto& line : brep.boundaries( surface ) )
            {
                EXPECT_TRUE( brep.is_boundary( line.id(), id ) );
                EXPECT_EQ( line.mesh().nb_vertices(), 2u );
            }
        }
        const auto& block = brep.block( cube.block );
        EXPECT_EQ(
            ids( brep.boundaries( block ) ),
            std::vector< uuid >( cube.surfaces.begin(), cube.surfaces.end() ) );
        EXPECT_EQ( brep.nb_items( cube.model_boundary ), 6u );
        EXPECT_EQ(
            ids( brep.items( brep.model_boundary( cube.model_boundary ) ) ),
            std::vector< uuid >( cube.surfaces.begin(), cube.surfaces.end() ) );
        EXPECT_EQ( brep.model_boundary( cube.model_boundary ).name(), "skin" );
        // Membership of a model boundary is neither incidence nor embedding.
        EXPECT_EQ( brep.nb_incidences( cube.model_boundary ), 0u );
        EXPECT_EQ( brep.nb_embeddings( cube.surfaces[0] ), 0u );
        EXPECT_EQ( brep.nb_collections( cube.surfaces[0] ), 1u );
    }

    TEST( BRepRelationships, SetsAreIdempotentAndKindsDistinct )
    {
        auto cube = test::build_cube_model();
        auto& brep = cube.brep;
        BRepBuilder builder{ brep };
        const auto& surface = brep.surface( cube.surfaces[3] );
        const auto& block = brep.block( cube.block );
        const auto& line = brep.line( cube.lines[0] );
        builder.add_surface_block_boundary_relationship( surface, block );
        builder.add_line_surface_boundary_relationship(
            line, brep.surface( cube.surfaces[0] ) );
        EXPECT_EQ( brep.nb_boundaries( cube.block ), 6u );
        EXPECT_EQ( brep.nb_incidences( line.id() ), 2u );

        // Internal is another kind: a line may also be internal to a surface.
        builder.add_line_surface_internal_relationship( line, surface );
        builder.add_line_surface_internal_relationship( line, surface );
        builder.add_corner_surface_internal_relationship(
            brep.corner( cube.corners[0] ), surface );
        EXPECT_EQ( brep.nb_internals( surface.id() ), 2u );
        EXPECT_EQ( ids( brep.internal_lines( surface ) ),
                   std::vector< uuid >{ line.id() } );
        EXPECT_EQ( ids( brep.internal_corners( surface ) ),
                   std::vector< uuid >{ cube.corners[0] } );
        EXPECT_EQ( ids( brep.embedding_surfaces( line ) ),
                   std::vector< uuid >{ surface.id() } );
        EXPECT_TRUE( brep.is_internal( line.id(), surface.id() ) );
        EXPECT_FALSE( brep.is_boundary( line.id(), surface.id() ) );
        EXPECT_EQ( brep.nb_incidences( line.id() ), 2u );

        builder.add_line_block_internal_relationship( line, block );
        builder.add_corner_block_internal_relationship(
            brep.corner( cube.corners[1] ), block );
        builder.add_surface_block_internal_relationship( surface, block );
        EXPECT_EQ( ids( brep.internals( cube.block ) ),
                   ( std::vector< uuid >{
                       line.id(), cube.corners[1], surface.id() } ) );
        EXPECT_EQ( ids( brep.internal_surfaces( block ) ),
                   std::vector< uuid >{ surface.id() } );
        EXPECT_EQ( ids( brep.embedding_blocks( line ) ),
                   std::vector< uuid >{ cube.block } );
        EXPECT_TRUE( brep.is_internal( surface, block ) );
    }

    TEST( BRepRelationships, ForeignOrUnknownComponentsAreRejected )
    {
        auto cube = test::build_cube_model();
        auto other = test::build_cube_model();
        auto& brep = cube.brep;
        BRepBuilder builder{ brep };
        const auto& line = brep.line( cube.lines[0] );
        const auto& foreign = other.brep.surface( other.surfaces[0] );

        expect_error(
            [&] {
                builder.add_line_surface_boundary_relationship( line, foreign );
            },
            "[BRepBuilder::add_line_surface_boundary_relationship] Surface " +
                foreign.id().string() + " does not belong to this model" );
        EXPECT_EQ( brep.nb_incidences( line.id() ), 2u );
        EXPECT_EQ( other.brep.nb_boundaries( foreign.id() ), 4u );
        expect_error(
            [&]
            {
                builder.add_surface_block_boundary_relationship(
                    foreign, brep.block( cube.block ) );
            },
            "[BRepBuilder::add_surface_block_boundary_relationship]" );
        EXPECT_EQ( brep.nb_boundaries( cube.block ), 6u );
        expect_error(
            [&] { builder.remove_block( other.brep.block( other.block ) ); },
            "[BRepBuilder::remove_block]" );
        EXPECT_EQ( other.brep.nb_blocks(), 1u );
        EXPECT_EQ( brep.nb_blocks(), 1u );

        const uuid unknown;
        expect_error( [&] { brep.corner( unknown ); },
                      "[Corners::corner] No Corner with uuid " +
                          unknown.string() );
        expect_error( [&] { brep.modifiable_surface( unknown ); },
                      "[Surfaces::modifiable_surface] No Surface with uuid" );
        expect_error( [&] { brep.block( cube.surfaces[0] ); },
                      "[Blocks::block] No Block with uuid" );
        expect_error( [&] { brep.nb_boundaries( unknown ); },
                      "[Relationships::nb_boundaries] No component with uuid" );
        expect_error( [&] { builder.surface_mesh_builder( unknown ); },
                      "[Surfaces::modifiable_surface]" );
        expect_error( [&] { builder.set_line_name( unknown, "x" ); },
                      "[Lines::modifiable_line]" );
        EXPECT_FALSE( brep.is_boundary( unknown, cube.block ) );
    }

    TEST( BRepComponents, MeshesNamesAndImplementations )
    {
        BRep brep;
        BRepBuilder builder{ brep };
        const auto corner = builder.add_corner();
        const auto triangulated = builder.add_surface(
            MeshFactory::default_impl( "TriangulatedSurface3D" ) );
        const auto polygonal = builder.add_surface();
        EXPECT_EQ( brep.surface( triangulated ).mesh().type_name().get(),
                   "TriangulatedSurface3D" );
        EXPECT_EQ( brep.surface( polygonal ).mesh().type_name().get(),
                   "PolygonalSurface3D" );
        EXPECT_EQ( brep.block( builder.add_block() ).mesh().type_name().get(),
                   "PolyhedralSolid3D" );
        EXPECT_ANY_THROW( builder.add_corner(
            MeshFactory::default_impl( "TriangulatedSurface3D" ) ) );
        EXPECT_ANY_THROW( builder.add_line( MeshImpl{ "NoSuchMesh" } ) );
        EXPECT_EQ( brep.nb_corners(), 1u );
        EXPECT_EQ( brep.nb_lines(), 0u );

        // The mesh has its own uuid; a fresh mesh numbers points from 0.
        const auto& component = brep.corner( corner );
        EXPECT_NE( component.mesh().id(), component.id() );
        EXPECT_EQ( component.component_id(), ComponentID( "Corner", corner ) );
        auto mesh_builder = builder.corner_mesh_builder( corner );
        EXPECT_EQ( mesh_builder->create_point( Point< 3 >{} ), 0u );
        EXPECT_EQ( mesh_builder->create_point( Point< 3 >{} ), 1u );
        EXPECT_EQ( component.mesh().nb_vertices(), 2u );

        builder.set_surface_name( polygonal, "fault" );
        EXPECT_EQ( brep.surface( polygonal ).name(), "fault" );
        EXPECT_EQ( brep.surface( polygonal ).mesh().name(), "" );
        // The returned reference is the component's own id.
        const auto& id_ref = builder.add_line();
        EXPECT_EQ( &id_ref, &brep.line( id_ref ).id() );
    }

    TEST( BRepComponents, RemoveBlockKeepsOrderAndDropsLinks )
    {
        auto cube = test::build_cube_model();
        auto& brep = cube.brep;
        BRepBuilder builder{ brep };
        const auto second = builder.add_block();
        const auto third = builder.add_block();
        builder.add_surface_block_boundary_relationship(
            brep.surface( cube.surfaces[0] ), brep.block( second ) );
        builder.set_unique_vertex( { { "Block", third }, 0 }, 3 );
        builder.remove_block( brep.block( cube.block ) );
        EXPECT_EQ( ids( brep.blocks() ),
                   ( std::vector< uuid >{ second, third } ) );
        EXPECT_EQ( ids( brep.incidences( cube.surfaces[0] ) ),
                   std::vector< uuid >{ second } );
        EXPECT_EQ( brep.nb_incidences( cube.surfaces[1] ), 0u );
        EXPECT_FALSE( brep.is_boundary( cube.surfaces[1], cube.block ) );
        EXPECT_FALSE( brep.has_block( cube.block ) );
        for( index_t u = 0; u < 8; u++ )
        {
            EXPECT_TRUE( brep.component_mesh_vertices( u, "Block" ).size() ==
                         ( u == 3 ? 1u : 0u ) );
        }
        EXPECT_EQ( brep.unique_vertex( { { "Block", cube.block }, 0 } ),
                   INVALID_INDEX );
        expect_error( [&] { brep.nb_boundaries( cube.block ); },
                      "[Relationships::nb_boundaries]" );
    }

    TEST( VertexIdentifier, LinksAndUnlinkingOrder )
    {
        auto cube = test::build_cube_model();
        auto& brep = cube.brep;
        EXPECT_EQ( brep.nb_unique_vertices(), 8u );
        // Unique vertex 0: corner 0, lines 0-1, 0-2, 0-4, faces -z, -y, -x,
        // then the block, in link order.
        const auto& links = brep.component_mesh_vertices( 0 );
        ASSERT_EQ( links.size(), 8u );
        EXPECT_EQ( links[0],
                   ComponentMeshVertex( { "Corner", cube.corners[0] }, 0 ) );
        EXPECT_EQ( links[1],
                   ComponentMeshVertex( { "Line", cube.lines[0] }, 0 ) );
        EXPECT_EQ( links[4].component_id.id(), cube.surfaces[0] );
        EXPECT_EQ( links[5].component_id.id(), cube.surfaces[2] );
        EXPECT_EQ( links[6].component_id.id(), cube.surfaces[4] );
        EXPECT_EQ( links[7],
                   ComponentMeshVertex( { "Block", cube.block }, 0 ) );
        EXPECT_EQ( brep.component_mesh_vertices( 0, "Line" ).size(), 3u );
        EXPECT_EQ( brep.component_mesh_vertices( 0, "Surface" )[1], links[5] );
        for( index_t f = 0; f < 6; f++ )
        {
            for( index_t k = 0; k < 4; k++ )
            {
                EXPECT_EQ( brep.unique_vertex(
                               { { "Surface", cube.surfaces[f] }, k } ),
                           cube.face_vertices[f][k] );
            }
        }
        EXPECT_EQ( brep.unique_vertex( { { "Surface", cube.surfaces[0] }, 9 } ),
                   INVALID_INDEX );
        EXPECT_EQ( brep.unique_vertex( { { "Surface", uuid{} }, 0 } ),
                   INVALID_INDEX );

        BRepBuilder builder{ brep };
        EXPECT_EQ( builder.create_unique_vertex(), 8u );
        EXPECT_EQ( builder.create_unique_vertices( 2 ), 9u );
        // Re-linking moves the vertex; the others keep their order.
        const ComponentMeshVertex moved{ { "Line", cube.lines[0] }, 0 };
        builder.set_unique_vertex( moved, 10 );
        EXPECT_EQ( brep.unique_vertex( moved ), 10u );
        ASSERT_EQ( brep.component_mesh_vertices( 0 ).size(), 7u );
        EXPECT_EQ( brep.component_mesh_vertices( 0 )[1],
                   ComponentMeshVertex( { "Line", cube.lines[1] }, 0 ) );
        EXPECT_EQ( brep.component_mesh_vertices( 10 ),
                   std::vector< ComponentMeshVertex >{ moved } );
        builder.set_unique_vertex( moved, 10 );
        EXPECT_EQ( brep.component_mesh_vertices( 10 ).size(), 1u );
        builder.unset_unique_vertex( moved );
        EXPECT_EQ( brep.unique_vertex( moved ), INVALID_INDEX );
        EXPECT_TRUE( brep.component_mesh_vertices( 10 ).empty() );

        expect_error(
            [&] { builder.set_unique_vertex( moved, 11 ); },
            "[VertexIdentifierBuilder::set_unique_vertex] Unique vertex 11" );
        expect_error(
            [&] {
                builder.set_unique_vertex( { { "Surface", cube.lines[0] }, 1 },
                                           1 );
            },
            "[VertexIdentifierBuilder::set_unique_vertex] Component" );
        EXPECT_EQ( brep.unique_vertex( { { "Line", cube.lines[0] }, 1 } ), 1u );
        expect_error( [&] { brep.component_mesh_vertices( 11 ); },
                      "[VertexIdentifier::component_mesh_vertices]" );
    }

    namespace
    {
        // Every unique vertex's links, components named by their place in
        // the cube (or "new"), in link order.
        std::vector< std::string > link_names( const test::CubeModel& cube,
                                               const uuid& added )
        {
            absl::flat_hash_map< uuid, std::string > names{
                { added, "new" }, { cube.block, "block" } };
            for( index_t k = 0; k < 8; k++ )
            {
                names.emplace( cube.corners[k], absl::StrCat( "c", k ) );
            }
            for( index_t k = 0; k < 12; k++ )
            {
                names.emplace( cube.lines[k], absl::StrCat( "l", k ) );
            }
            for( index_t k = 0; k < 6; k++ )
            {
                names.emplace( cube.surfaces[k], absl::StrCat( "s", k ) );
            }
            std::vector< std::string > result;
            for( index_t u = 0; u < cube.brep.nb_unique_vertices(); u++ )
            {
                std::string text;
                for( const auto& link : cube.brep.component_mesh_vertices( u ) )
                {
                    absl::StrAppend( &text,
                                     names.at( link.component_id.id() ),
                                     "/",
                                     link.vertex,
                                     " " );
                }
                result.push_back( text );
            }
            return result;
        }
    } // namespace

    TEST( VertexIdentifier, BulkLinksMatchOneByOne )
    {
        // The same links, made a component at a time on one cube and a
        // vertex at a time on the other: a new surface (a unique vertex
        // twice) and a face linked anew.
        const std::vector< index_t > added_links{ 3, 0, 3, 7 };
        const std::vector< index_t > face_links{ 4, 5, 6, 7 };
        auto bulk = test::build_cube_model();
        BRepBuilder bulk_builder{ bulk.brep };
        const auto bulk_added = bulk_builder.add_surface();
        bulk_builder.set_unique_vertices( { "Surface", bulk_added },
                                          added_links );
        bulk_builder.set_unique_vertices( { "Surface", bulk.surfaces[1] },
                                          face_links );
        auto single = test::build_cube_model();
        BRepBuilder single_builder{ single.brep };
        const auto single_added = single_builder.add_surface();
        for( index_t v = 0; v < 4; v++ )
        {
            single_builder.set_unique_vertex(
                { { "Surface", single_added }, v }, added_links[v] );
        }
        for( index_t v = 0; v < 4; v++ )
        {
            single_builder.set_unique_vertex(
                { { "Surface", single.surfaces[1] }, v }, face_links[v] );
        }
        EXPECT_EQ( link_names( bulk, bulk_added ),
                   link_names( single, single_added ) );

        // A unique vertex out of range: nothing is linked.
        const auto refused = bulk_builder.add_surface();
        const auto before = link_names( bulk, bulk_added );
        expect_error(
            [&] {
                bulk_builder.set_unique_vertices( { "Surface", refused },
                                                  { 1, 8 } );
            },
            "[VertexIdentifierBuilder::set_unique_vertex] Unique vertex 8 "
            "does not exist (8 unique vertices)" );
        EXPECT_EQ( link_names( bulk, bulk_added ), before );
    }

    TEST( VertexIdentifier, UpdateSurfaceMeshUnlinksOldVertices )
    {
        auto cube = test::build_cube_model();
        auto& brep = cube.brep;
        BRepBuilder builder{ brep };
        const auto& surface = brep.surface( cube.surfaces[0] );
        auto replacement = surface.mesh().clone();
        const auto replacement_id = replacement->id();
        builder.update_surface_mesh( surface, std::move( replacement ) );
        EXPECT_EQ( surface.mesh().id(), replacement_id );
        EXPECT_EQ( surface.mesh().nb_polygons(), 2u );
        EXPECT_EQ( brep.unique_vertex( { surface.component_id(), 0 } ),
                   INVALID_INDEX );
        EXPECT_EQ( brep.component_mesh_vertices( 0, "Surface" ).size(), 2u );
        // Relationships are untouched.
        EXPECT_EQ( brep.nb_boundaries( surface.id() ), 4u );
        expect_error( [&] { builder.update_surface_mesh( surface, nullptr ); },
                      "[BRepBuilder::update_surface_mesh] Null mesh" );
    }

    TEST( ModelCopy, KeepsNumberingNamesOrderAndMapsIds )
    {
        auto cube = test::build_cube_model();
        BRepBuilder input_builder{ cube.brep };
        input_builder.set_surface_name( cube.surfaces[3], "top" );
        input_builder.add_line_surface_internal_relationship(
            cube.brep.line( cube.lines[5] ),
            cube.brep.surface( cube.surfaces[3] ) );

        BRep copy;
        BRepBuilder builder{ copy };
        const auto mapping = builder.copy( cube.brep );
        ASSERT_EQ( mapping.size(), 5u );
        const auto& surfaces = mapping.at( "Surface" );
        EXPECT_EQ( surfaces.size(), 6u );
        EXPECT_EQ( mapping.at( "ModelBoundary" ).size(), 1u );

        // Same order, fresh ids, same names.
        std::vector< uuid > expected_surfaces;
        for( const auto& id : cube.surfaces )
        {
            expected_surfaces.push_back( surfaces.in2out( id ) );
            EXPECT_NE( surfaces.in2out( id ), id );
            EXPECT_EQ( surfaces.out2in( surfaces.in2out( id ) ), id );
        }
        EXPECT_EQ( ids( copy.surfaces() ), expected_surfaces );
        EXPECT_EQ( copy.surface( surfaces.in2out( cube.surfaces[3] ) ).name(),
                   "top" );
        EXPECT_EQ( copy.model_boundary( mapping.at( "ModelBoundary" )
                                            .in2out( cube.model_boundary ) )
                       .name(),
                   "skin" );

        // Meshes keep numbering and implementation.
        const auto& in_block = cube.brep.block( cube.block );
        const auto& out_block =
            copy.block( mapping.at( "Block" ).in2out( cube.block ) );
        EXPECT_EQ( out_block.mesh().type_name().get(), "TetrahedralSolid3D" );
        ASSERT_EQ( out_block.mesh().nb_polyhedra(), 6u );
        for( index_t p = 0; p < 6; p++ )
        {
            for( local_index_t v = 0; v < 4; v++ )
            {
                EXPECT_EQ( out_block.mesh().polyhedron_vertex( { p, v } ),
                           in_block.mesh().polyhedron_vertex( { p, v } ) );
            }
        }
        EXPECT_NE( out_block.mesh().id(), in_block.mesh().id() );

        // Relationship order follows the input, renamed.
        const auto rename = [&mapping]( const ComponentID& id )
        { return mapping.at( id.type() ).in2out( id.id() ); };
        for( const auto& in : cube.brep.surfaces() )
        {
            std::vector< uuid > expected;
            for( const auto& id : cube.brep.boundaries( in.id() ) )
            {
                expected.push_back( rename( id ) );
            }
            EXPECT_EQ( ids( copy.boundaries( surfaces.in2out( in.id() ) ) ),
                       expected );
        }
        const auto& copied_top =
            copy.surface( surfaces.in2out( cube.surfaces[3] ) );
        EXPECT_EQ( ids( copy.internal_lines( copied_top ) ),
                   std::vector< uuid >{
                       mapping.at( "Line" ).in2out( cube.lines[5] ) } );
        EXPECT_EQ(
            copy.nb_items(
                mapping.at( "ModelBoundary" ).in2out( cube.model_boundary ) ),
            6u );

        // Unique vertices in input order, renamed.
        ASSERT_EQ( copy.nb_unique_vertices(), 8u );
        for( index_t u = 0; u < 8; u++ )
        {
            const auto& in_links = cube.brep.component_mesh_vertices( u );
            const auto& out_links = copy.component_mesh_vertices( u );
            ASSERT_EQ( in_links.size(), out_links.size() );
            for( std::size_t k = 0; k < in_links.size(); k++ )
            {
                EXPECT_EQ( out_links[k].component_id.id(),
                           rename( in_links[k].component_id ) );
                EXPECT_EQ( out_links[k].vertex, in_links[k].vertex );
                EXPECT_EQ( copy.unique_vertex( out_links[k] ), u );
            }
        }

        // A second copy into the now filled model is refused, unchanged.
        expect_error( [&] { builder.copy( cube.brep ); },
                      "[BRepBuilder::copy] The model to fill is not empty" );
        EXPECT_EQ( copy.nb_surfaces(), 6u );
        BRep with_vertex_only;
        BRepBuilder{ with_vertex_only }.create_unique_vertex();
        expect_error( [&]
                      { BRepBuilder{ with_vertex_only }.copy( cube.brep ); },
                      "[BRepBuilder::copy]" );
        EXPECT_EQ( with_vertex_only.nb_corners(), 0u );

        // The copy is independent of the input.
        EXPECT_THROW( surfaces.in2out( uuid{} ), std::out_of_range );
        builder.remove_block( out_block );
        EXPECT_EQ( cube.brep.nb_boundaries( cube.block ), 6u );
    }

    TEST( Section, RelationshipsBoundariesAndCopy )
    {
        Section section;
        SectionBuilder builder{ section };
        const auto corner = builder.add_corner();
        const auto line = builder.add_line();
        const auto surface = builder.add_surface(
            MeshFactory::default_impl( "TriangulatedSurface2D" ) );
        const auto boundary = builder.add_model_boundary();
        builder.add_corner_line_boundary_relationship( section.corner( corner ),
                                                       section.line( line ) );
        builder.add_line_surface_boundary_relationship(
            section.line( line ), section.surface( surface ) );
        builder.add_line_in_model_boundary(
            section.line( line ), section.model_boundary( boundary ) );
        builder.add_line_in_model_boundary(
            section.line( line ), section.model_boundary( boundary ) );
        EXPECT_EQ( ids( section.items( section.model_boundary( boundary ) ) ),
                   std::vector< uuid >{ line } );
        EXPECT_TRUE( section.is_boundary( section.line( line ),
                                          section.surface( surface ) ) );
        EXPECT_EQ( ids( section.incidences( section.corner( corner ) ) ),
                   std::vector< uuid >{ line } );

        auto surface_mesh = builder.surface_mesh_builder( surface );
        surface_mesh->create_point( Point< 2 >{ { 0, 0 } } );
        surface_mesh->create_point( Point< 2 >{ { 1, 0 } } );
        surface_mesh->create_point( Point< 2 >{ { 0, 1 } } );
        surface_mesh->create_polygon( { 0, 1, 2 } );
        builder.create_unique_vertices( 3 );
        for( index_t v = 0; v < 3; v++ )
        {
            builder.set_unique_vertex( { { "Surface", surface }, v }, v );
        }

        Section copy;
        const auto mapping = SectionBuilder{ copy }.copy( section );
        EXPECT_EQ( mapping.size(), 4u );
        const auto copied_surface = mapping.at( "Surface" ).in2out( surface );
        EXPECT_EQ( copy.surface( copied_surface ).mesh().nb_polygons(), 1u );
        EXPECT_EQ( copy.surface( copied_surface ).mesh().type_name().get(),
                   "TriangulatedSurface2D" );
        EXPECT_EQ( copy.unique_vertex( { { "Surface", copied_surface }, 2 } ),
                   2u );
        EXPECT_EQ(
            copy.nb_items( mapping.at( "ModelBoundary" ).in2out( boundary ) ),
            1u );
        // Moving the model keeps components and relationships.
        Section moved{ std::move( copy ) };
        EXPECT_EQ( moved.nb_incidences( mapping.at( "Line" ).in2out( line ) ),
                   1u );
    }

    TEST( BijectiveMapping, StaysOneToOne )
    {
        BijectiveMapping< index_t, index_t > mapping;
        mapping.map( 1, 10 );
        mapping.map( 2, 20 );
        mapping.map( 1, 20 );
        EXPECT_EQ( mapping.size(), 1u );
        EXPECT_EQ( mapping.in2out( 1 ), 20u );
        EXPECT_EQ( mapping.out2in( 20 ), 1u );
        EXPECT_FALSE( mapping.has_mapping_input( 2 ) );
        EXPECT_FALSE( mapping.has_mapping_output( 10 ) );
        EXPECT_THROW( mapping.in2out( 2 ), std::out_of_range );
    }

    TEST( SidedSurface, ComparesIdAndSideOnly )
    {
        const uuid id;
        EXPECT_EQ( SidedSurface( id, PolygonEdge{ 1, 2 }, true ),
                   SidedSurface( id, true ) );
        EXPECT_NE( SidedSurface( id, false ), SidedSurface( id, true ) );
    }
} // namespace vorna
