#include <gtest/gtest.h>

#include <support/conversion_test.h>
#include <support/mesh_queries.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include <absl/container/flat_hash_map.h>
#include <absl/strings/str_cat.h>

#include <support/expect_error.h>
#include <support/fixtures.h>
#include <support/model_checks.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/conversion/common/attribute.h>
#include <vorna/conversion/mesh_analysis/corners_lines_builder_from_meshes.h>
#include <vorna/geometry/vector.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/edged_curve_builder.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/section.h>
#include <vorna/model/section_builder.h>

namespace
{
    using namespace vorna;
    using FromMeshes =
        detail::CornersLinesBuilderFromMeshes< BRep, BRepBuilder, 3 >;
    using Curves = test::CurveRefs;
    using Surfaces = test::SurfaceRefs;
    using VertexMapping = FromMeshes::VertexMapping;
    using test::point;
    using ElementMapping = FromMeshes::ElementMapping;

    // Adds up the old-to-new lists that imports walk through it; its clones
    // share the count.
    class CountingAttribute : public VariableAttribute< index_t >
    {
      public:
        CountingAttribute( std::shared_ptr< std::size_t > walked )
            : VariableAttribute< index_t >( INVALID_INDEX ),
              walked_( std::move( walked ) )
        {
        }

        std::shared_ptr< AttributeBase > clone() const override
        {
            auto copy = std::make_shared< CountingAttribute >( walked_ );
            copy->copy_from( *this, nb_values() );
            return copy;
        }

        std::shared_ptr< AttributeBase >
        extract( absl::Span< const index_t > old2new,
                 index_t nb_elements ) const override
        {
            *walked_ += old2new.size();
            return VariableAttribute< index_t >::extract( old2new,
                                                          nb_elements );
        }

      private:
        std::shared_ptr< std::size_t > walked_;
    };

    class FromMeshesTest : public test::ModelTest
    {
      protected:
        // Builds the model and its mappings, and checks both.
        void convert( const Curves& curves, const Surfaces& surfaces )
        {
            FromMeshes builder{ model, curves, surfaces };
            builder.build();
            builder.build_surfaces();
            auto result = builder.mappings();
            vertices = std::move( result.first );
            elements = std::move( result.second );
            EXPECT_TRUE( test::check_brep_consistency( model ) );
            EXPECT_TRUE( test::check_mappings(
                model, vertices, elements, surfaces, curves ) );
        }

        // A curve from the sheet's border at (0, 1, 0) along polygon edges
        // to (1, 1, 0), then up off the sheet: corners at the three points,
        // and lines for the sheet's rim, the part inside the sheet and the
        // part off it.
        void
        expect_curve_splits_where_it_leaves( const SurfaceMesh< 3 >& sheet )
        {
            const auto curve = test::polyline< 3 >(
                { point( 0, 1, 0 ), point( 1, 1, 0 ), point( 1, 1, 1 ) },
                false );
            convert( { *curve }, { sheet } );
            ASSERT_EQ( model.nb_surfaces(), 1u );
            EXPECT_EQ( model.nb_corners(), 3u );
            EXPECT_EQ( model.nb_lines(), 3u );
            const auto& surface = *model.surfaces().begin();
            EXPECT_EQ( model.nb_boundaries( surface.id() ), 1u );
            // The inner part of the curve, and the corner where it leaves.
            EXPECT_EQ( model.nb_internals( surface.id() ), 2u );
            const auto& inside = elements.in2out( { curve->id(), 0 } ).at( 0 );
            const auto& off = elements.in2out( { curve->id(), 1 } ).at( 0 );
            EXPECT_NE( inside.component_id, off.component_id );
            EXPECT_TRUE(
                model.is_internal( inside.component_id.id(), surface.id() ) );
            EXPECT_EQ( model.nb_incidences( off.component_id.id() ), 0u );
        }

        bool has_identifier( const SurfaceMesh< 3 >& mesh ) const
        {
            return mesh.polygon_attribute_manager().find_attribute_base(
                       "surface_identifier" ) != nullptr;
        }

        BRep model;
        VertexMapping vertices;
        ElementMapping elements;
    };

    // The 2 x 2 grid sheet slit from its middle (1, 1) to its border
    // (1, 2): no adjacency across the edge between vertices 4 and 7.
    std::unique_ptr< SurfaceMesh< 3 > > slit_sheet()
    {
        auto sheet = test::grid_sheet( 2, 2 );
        auto builder = SurfaceMeshBuilder< 3 >::create( *sheet );
        for( index_t p = 0; p < sheet->nb_polygons(); p++ )
        {
            for( local_index_t e = 0; e < 3; e++ )
            {
                const auto ends = sheet->polygon_edge_vertices( { p, e } );
                if( std::minmax( ends[0], ends[1] ) ==
                    std::minmax< index_t >( 4, 7 ) )
                {
                    builder->unset_polygon_adjacent( { p, e } );
                }
            }
        }
        return sheet;
    }

    TEST_F( FromMeshesTest, one_closed_mesh )
    {
        const auto cube = test::closed_cube();
        {
            FromMeshes builder{ model, {}, { *cube } };
            builder.build();
            // The caller's mesh is only read, even while the builder works.
            EXPECT_FALSE( has_identifier( *cube ) );
            builder.build_surfaces();
            auto result = builder.mappings();
            vertices = std::move( result.first );
            elements = std::move( result.second );
            EXPECT_FALSE( has_identifier( *cube ) );
        }
        EXPECT_EQ( model.nb_corners(), 0u );
        EXPECT_EQ( model.nb_lines(), 0u );
        ASSERT_EQ( model.nb_surfaces(), 1u );
        const auto& surface = *model.surfaces().begin();
        EXPECT_EQ( surface.name(), "cube" );
        EXPECT_EQ( surface.mesh().nb_vertices(), 8u );
        EXPECT_EQ( surface.mesh().nb_polygons(), 12u );
        EXPECT_EQ( test::nb_border_edges( surface.mesh() ), 0u );
        // The builder's grouping never stands on a mesh.
        EXPECT_FALSE( has_identifier( surface.mesh() ) );
        for( index_t v = 0; v < 8; v++ )
        {
            EXPECT_EQ( vertices.in2out( { cube->id(), v } ).size(), 1u );
        }
    }

    TEST_F( FromMeshesTest, two_regions_and_nested_shells )
    {
        const auto sheet = test::sheet_with_cut( 4, 2, 2 );
        convert( {}, { *sheet } );
        EXPECT_EQ( model.nb_surfaces(), 2u );
        // The cut line ends at two corners on the outer border.
        EXPECT_EQ( model.nb_corners(), 2u );
        EXPECT_EQ( model.nb_lines(), 3u );
        for( const auto& surface : model.surfaces() )
        {
            EXPECT_EQ( surface.name(), "sheet" );
            EXPECT_EQ( model.nb_boundaries( surface.id() ), 2u );
        }
        // Vertex (2, 1) lies on the cut: one vertex in each surface.
        EXPECT_EQ( vertices.in2out( { sheet->id(), 7 } ).size(), 2u );

        BRep nested;
        const auto boxes = test::nested_boxes();
        FromMeshes builder{ nested, {}, { *boxes } };
        builder.build();
        builder.build_surfaces();
        EXPECT_EQ( nested.nb_surfaces(), 2u );
        EXPECT_EQ( nested.nb_lines(), 0u );
    }

    TEST_F( FromMeshesTest, two_meshes_sharing_a_face )
    {
        const auto boxes = test::two_boxes_sharing_a_face();
        const auto& left = *boxes.first;
        const auto& right = *boxes.second;
        convert( {}, { left, right } );
        // Left box without the shared face, the shared face, right box.
        ASSERT_EQ( model.nb_surfaces(), 3u );
        // The square around the shared face borders all three alike: one
        // closed line, no corner.
        EXPECT_EQ( model.nb_corners(), 0u );
        ASSERT_EQ( model.nb_lines(), 1u );
        const auto& line = *model.lines().begin();
        EXPECT_EQ( line.mesh().nb_edges(), 4u );
        EXPECT_EQ( model.nb_incidences( line.id() ), 3u );
        std::vector< std::string > names;
        for( const auto& surface : model.surfaces() )
        {
            names.emplace_back( surface.name() );
        }
        // Both inputs stand behind the shared face's first polygon.
        EXPECT_EQ(
            names,
            ( std::vector< std::string >{ "left", "leftright", "right" } ) );
        // A corner of the shared face is in all three surfaces.
        EXPECT_EQ( vertices.in2out( { left.id(), 7 } ).size(), 3u );
        EXPECT_FALSE( has_identifier( left ) );
    }

    TEST_F( FromMeshesTest, second_mesh_polygons_in_a_group_get_entries )
    {
        // Mesh A: triangles t1, t2; mesh B: t2 again and t3 beside it. The
        // merged group {t1, t2, t3} starts with A's t1, yet B's t3 maps too.
        const std::vector< Point< 3 > > points{ point( 0, 0, 0 ),
                                                point( 1, 0, 0 ),
                                                point( 0, 1, 0 ),
                                                point( 1, 1, 0 ),
                                                point( 2, 0, 0 ) };
        const auto a = test::triangulated_surface(
            points, { { 0, 1, 2 }, { 1, 3, 2 } }, "A" );
        const auto b = test::triangulated_surface(
            points, { { 1, 3, 2 }, { 1, 4, 3 } }, "B" );
        convert( {}, { *a, *b } );
        ASSERT_EQ( model.nb_surfaces(), 1u );
        EXPECT_EQ( model.surfaces().begin()->name(), "A" );
        EXPECT_EQ( model.surfaces().begin()->mesh().nb_polygons(), 3u );
    }

    TEST_F( FromMeshesTest, curve_on_a_border_edge )
    {
        const auto sheet = test::grid_sheet( 3, 1 );
        const auto curve = test::curve_on_grid_border( 2 );
        convert( { *curve }, { *sheet } );
        // The curve follows the border: the border stays one closed line.
        EXPECT_EQ( model.nb_corners(), 0u );
        ASSERT_EQ( model.nb_lines(), 1u );
        const auto& line = *model.lines().begin();
        EXPECT_TRUE(
            model.is_boundary( line.id(), model.surfaces().begin()->id() ) );
        // The loop starts and ends at (0, 0, 0): both line vertices listed.
        EXPECT_EQ( vertices.in2out( { curve->id(), 0 } ).size(), 2u );
        EXPECT_EQ( vertices.in2out( { curve->id(), 1 } ).size(), 1u );
    }

    TEST_F( FromMeshesTest, curve_point_between_two_vertices_joins_the_first )
    {
        // Vertices 0 and 1 of the triangle lie 1.5e-6 apart; the curve
        // starts between them, within 1e-6 of both: it takes vertex 0, the
        // first, so the curve runs along the border edge (0, 2).
        const auto triangle = test::surface_of(
            std::vector< Point3D >{
                point( 0, 0, 0 ), point( 1.5e-6, 0, 0 ), point( 0, 1, 0 ) },
            { { 0, 1, 2 } } );
        auto curve = EdgedCurve< 3 >::create();
        {
            auto builder = EdgedCurveBuilder< 3 >::create( *curve );
            builder->create_point( point( 0.75e-6, 0, 0 ) );
            builder->create_point( point( 0, 1, 0 ) );
            builder->create_edge( 0, 1 );
        }
        convert( { *curve }, { *triangle } );
        const auto& edge = elements.in2out( { curve->id(), 0 } ).at( 0 );
        const auto& line_mesh = model.line( edge.component_id.id() ).mesh();
        const auto& ends = line_mesh.edge_vertices( edge.element );
        // Along x = 0: the line edge on vertices 0 and 2.
        EXPECT_EQ( line_mesh.point( ends[0] ).value( 0 ) +
                       line_mesh.point( ends[1] ).value( 0 ),
                   0. );
    }

    TEST_F( FromMeshesTest, wireframe_edges_follow_the_border_in_order )
    {
        // Large enough for the border to be searched in several pieces.
        const auto sheet = test::grid_sheet( 70, 70 );
        FromMeshes builder{ model, {}, { *sheet } };
        builder.build_wireframe_step();
        using PolygonEdges = absl::InlinedVector< PolygonEdge, 3 >;
        const auto polygon_edges =
            builder.wireframe()
                .edge_attribute_manager()
                .find_attribute< PolygonEdges >( "polygon_edges" );
        ASSERT_EQ( builder.wireframe().nb_edges(), 4 * 70u );
        index_t nb_out_of_order{ 0 };
        for( index_t e = 1; e < builder.wireframe().nb_edges(); e++ )
        {
            nb_out_of_order += polygon_edges->value( e ).at( 0 ) <
                                       polygon_edges->value( e - 1 ).at( 0 )
                                   ? 1
                                   : 0;
        }
        EXPECT_EQ( nb_out_of_order, 0u );
    }

    TEST_F( FromMeshesTest, closed_curve_alone )
    {
        const auto curve = test::closed_square_curve( 1, 0 );
        convert( { *curve }, {} );
        EXPECT_EQ( model.nb_corners(), 0u );
        EXPECT_EQ( model.nb_surfaces(), 0u );
        ASSERT_EQ( model.nb_lines(), 1u );
        EXPECT_EQ( model.lines().begin()->mesh().nb_edges(), 4u );
        EXPECT_EQ( vertices.in2out( { curve->id(), 0 } ).size(), 2u );
    }

    TEST_F( FromMeshesTest, corner_where_three_lines_meet )
    {
        const Point< 3 > origin{ { 0, 0, 0 } };
        const auto x = test::polyline< 3 >(
            { origin, point( 1, 0, 0 ), point( 2, 0, 0 ) }, false );
        const auto y =
            test::polyline< 3 >( { origin, point( 0, 1, 0 ) }, false );
        const auto z =
            test::polyline< 3 >( { point( 0, 0, 1 ), origin }, false );
        convert( { *x, *y, *z }, {} );
        EXPECT_EQ( model.nb_corners(), 4u );
        ASSERT_EQ( model.nb_lines(), 3u );
        // The meeting point maps to one vertex of each line.
        EXPECT_EQ( vertices.in2out( { x->id(), 0 } ).size(), 3u );
        EXPECT_EQ( vertices.in2out( { z->id(), 1 } ).size(), 3u );
        // Curves that merely touch at an end still make a corner there.
        BRep joined;
        const auto tail = test::polyline< 3 >(
            { point( 2, 0, 0 ), point( 3, 0, 0 ) }, false );
        FromMeshes builder{ joined, { *x, *tail }, {} };
        builder.build();
        EXPECT_EQ( joined.nb_corners(), 3u );
        EXPECT_EQ( joined.nb_lines(), 2u );
    }

    TEST_F( FromMeshesTest, internal_curve_along_polygon_edges )
    {
        const auto sheet = test::grid_sheet( 4, 4 );
        // Along x = 2 from y = 1 to y = 3, through inner vertices.
        const auto inside = test::polyline< 3 >(
            { point( 2, 1, 0 ), point( 2, 2, 0 ), point( 2, 3, 0 ) }, false );
        // Across polygons, along no polygon edge.
        const auto across = test::polyline< 3 >(
            { point( 0.5, 0.2, 0 ), point( 0.7, 0.3, 0 ) }, false );
        convert( { *inside, *across }, { *sheet } );
        ASSERT_EQ( model.nb_surfaces(), 1u );
        const auto& surface = *model.surfaces().begin();
        EXPECT_EQ( model.nb_lines(), 3u );
        EXPECT_EQ( model.nb_corners(), 4u );
        // Border loop bounds it, the inner curve is inside it, the crossing
        // curve is not related; the two inner ends are internal corners.
        EXPECT_EQ( model.nb_boundaries( surface.id() ), 1u );
        EXPECT_EQ( model.nb_internals( surface.id() ), 3u );
        EXPECT_EQ( elements.in2out( { inside->id(), 1 } ).front().element, 1u );
    }

    TEST_F( FromMeshesTest, curve_meeting_a_slit_tip_is_a_corner )
    {
        // A slit from the middle (1, 1) to the border (1, 2), and a curve
        // from the middle down to the border (1, 0): the middle has one slit
        // edge (a border of the surface only) and one curve-only edge.
        const auto sheet = slit_sheet();
        const auto curve = test::polyline< 3 >(
            { point( 1, 1, 0 ), point( 1, 0, 0 ) }, false );
        convert( { *curve }, { *sheet } );
        ASSERT_EQ( model.nb_surfaces(), 1u );
        // Corners: the middle, (1, 2) and (1, 0).
        EXPECT_EQ( model.nb_corners(), 3u );
        EXPECT_EQ( model.nb_lines(), 4u );
        const auto& surface = *model.surfaces().begin();
        EXPECT_EQ( model.nb_boundaries( surface.id() ), 2u );
    }

    TEST_F( FromMeshesTest, slit_stays_open_in_its_surface )
    {
        // The 2 x 2 sheet slit from its middle (1, 1) to its border (1, 2):
        // the surface keeps both sides of the slit as borders, 8 outer
        // border edges and 2 along the slit, and the slit's tip is a corner
        // on that border, so not internal to the surface.
        const auto sheet = slit_sheet();
        convert( {}, { *sheet } );
        ASSERT_EQ( model.nb_surfaces(), 1u );
        const auto& surface = *model.surfaces().begin();
        EXPECT_EQ( test::nb_border_edges( surface.mesh() ), 10u );
        // Corners at the tip and where the slit meets the outer border.
        EXPECT_EQ( model.nb_corners(), 2u );
        EXPECT_EQ( model.nb_lines(), 2u );
        for( const auto& corner : model.corners() )
        {
            EXPECT_EQ( model.nb_embeddings( corner.id() ), 0u );
        }
    }

    TEST_F( FromMeshesTest, corners_on_a_surface_border_are_not_internal )
    {
        // Two regions side by side: the corners where the line between them
        // meets the outer border lie on both surfaces' borders.
        const auto sheet = test::sheet_with_cut( 4, 2, 2 );
        convert( {}, { *sheet } );
        ASSERT_EQ( model.nb_surfaces(), 2u );
        EXPECT_EQ( model.nb_corners(), 2u );
        for( const auto& surface : model.surfaces() )
        {
            EXPECT_EQ( model.nb_internals( surface.id() ), 0u );
        }
    }

    TEST_F( FromMeshesTest, border_of_one_surface_against_a_border_of_two )
    {
        // A disc of 8 triangles around the origin, slit along (0,0,0)-
        // (1,0,0) by a fin standing on that edge (three polygons on one edge
        // join none). At the origin meet two wireframe edges: the fin's own
        // border, of the fin alone, and the slit, of the fin and the disc.
        // Bordering other surfaces, they meet at a corner.
        std::vector< Point< 3 > > points{ point( 0, 0, 0 ) };
        for( const auto& at :
             std::vector< std::array< double, 2 > >{ { 1, 0 },
                                                     { 1, 1 },
                                                     { 0, 1 },
                                                     { -1, 1 },
                                                     { -1, 0 },
                                                     { -1, -1 },
                                                     { 0, -1 },
                                                     { 1, -1 } } )
        {
            points.push_back( point( at[0], at[1], 0 ) );
        }
        points.push_back( point( 0.5, 0, 1 ) );
        // The fin first: it is group 0, the disc group 1.
        std::vector< std::vector< index_t > > polygons{ { 0, 1, 9 } };
        for( index_t k = 1; k <= 8; k++ )
        {
            polygons.push_back( { 0, k, k % 8 + 1 } );
        }
        const auto mesh = test::surface_of( points, polygons, true, "fin" );
        convert( {}, { *mesh } );
        ASSERT_EQ( model.nb_surfaces(), 2u );
        // The origin and (1, 0, 0); lines: the slit, the fin's two other
        // edges, the disc's rim.
        EXPECT_EQ( model.nb_corners(), 2u );
        EXPECT_EQ( model.nb_lines(), 3u );
        index_t at_origin{ 0 };
        for( const auto& corner : model.corners() )
        {
            at_origin += corner.mesh().point( 0 ) == point( 0, 0, 0 ) ? 1 : 0;
        }
        EXPECT_EQ( at_origin, 1u );
    }

    TEST_F( FromMeshesTest, curve_leaving_a_surface_splits_there )
    {
        // From the sheet's border along an inner polygon edge, then up: at
        // (1, 1, 0) both edges come from the curve alone, but only the first
        // runs inside the sheet.
        expect_curve_splits_where_it_leaves( *test::grid_sheet( 2, 2 ) );
    }

    TEST_F( FromMeshesTest, curve_leaving_a_sheet_of_mixed_orientation )
    {
        // The same path over a 2 x 2 sheet of quads whose upper left quad
        // is reversed: both quads along the curve's edge inside the sheet
        // run it from (1, 1, 0) to (0, 1, 0), against the curve.
        std::vector< Point< 3 > > points;
        for( index_t j = 0; j < 3; j++ )
        {
            for( index_t i = 0; i < 3; i++ )
            {
                points.push_back( point( i, j, 0 ) );
            }
        }
        const auto sheet = test::surface_of< 3 >( points,
                                                  { { 0, 1, 4, 3 },
                                                    { 1, 2, 5, 4 },
                                                    { 6, 7, 4, 3 },
                                                    { 4, 5, 8, 7 } } );
        expect_curve_splits_where_it_leaves( *sheet );
    }

    TEST_F( FromMeshesTest, edge_both_inside_and_on_the_border_of_one_surface )
    {
        // A 2 x 2 sheet of quads with a tent of two triangles over its edge
        // (0, 1, 0)-(1, 1, 0): the tent's triangle on that edge is left
        // unjoined there, the two quads stay joined, and the tent joins the
        // sheet through its other edges. One surface. The edge is a border
        // of it and runs inside it, its neighbours at both ends only border
        // it: corners at both ends.
        std::vector< Point< 3 > > points;
        for( index_t j = 0; j < 3; j++ )
        {
            for( index_t i = 0; i < 3; i++ )
            {
                points.push_back( point( i, j, 0 ) );
            }
        }
        points.push_back( point( 0.5, 1.5, 1 ) );
        auto sheet = test::surface_of< 3 >( points,
                                            { { 0, 1, 4, 3 },
                                              { 1, 2, 5, 4 },
                                              { 3, 4, 7, 6 },
                                              { 4, 5, 8, 7 },
                                              { 3, 4, 9 },
                                              { 3, 6, 9 } } );
        {
            auto builder = SurfaceMeshBuilder< 3 >::create( *sheet );
            builder->set_polygon_adjacent( { 0, 2 }, 2 );
            builder->set_polygon_adjacent( { 2, 0 }, 0 );
            builder->unset_polygon_adjacent( { 4, 0 } );
        }
        convert( {}, { *sheet } );
        ASSERT_EQ( model.nb_surfaces(), 1u );
        EXPECT_EQ( model.nb_corners(), 2u );
        EXPECT_EQ( model.nb_lines(), 2u );
    }

    TEST_F( FromMeshesTest, fin_on_an_inner_edge_ends_its_lines_there )
    {
        // A fin stands on the inner edge (1, 0, 0)-(1, 1, 0) of the sheet,
        // whose two triangles stay joined across it. At the middle (1, 1, 0)
        // the fin's border goes on from that edge, inside the sheet, to the
        // fin's apex, off it: a corner.
        auto sheet = test::grid_sheet( 2, 2 );
        {
            auto builder = SurfaceMeshBuilder< 3 >::create( *sheet );
            const auto apex = builder->create_point( point( 1, 0.5, 1 ) );
            builder->create_polygon( std::vector< index_t >{ 1, 4, apex } );
        }
        convert( {}, { *sheet } );
        ASSERT_EQ( model.nb_surfaces(), 2u );
        // Corners at (1, 0, 0) and the middle; lines: the sheet's rim, the
        // fin's foot and the fin's two other edges.
        EXPECT_EQ( model.nb_corners(), 2u );
        EXPECT_EQ( model.nb_lines(), 3u );
        const auto& sheet_surface = *model.surfaces().begin();
        EXPECT_EQ( model.nb_boundaries( sheet_surface.id() ), 1u );
        // The foot and the middle corner.
        EXPECT_EQ( model.nb_internals( sheet_surface.id() ), 2u );
        for( const auto& surface : model.surfaces() )
        {
            if( surface.id() != sheet_surface.id() )
            {
                EXPECT_EQ( model.nb_boundaries( surface.id() ), 2u );
                EXPECT_EQ( model.nb_internals( surface.id() ), 0u );
            }
        }
    }

    TEST_F( FromMeshesTest, single_mesh_with_near_duplicate_vertices )
    {
        // A cube whose last triangle uses a copy of vertex 7 moved by 1e-9,
        // and a stray vertex next to vertex 0: the builder merges them.
        auto cube = test::closed_cube();
        {
            auto builder = SurfaceMeshBuilder< 3 >::create( *cube );
            const auto copy = builder->create_point( point( 1 + 1e-9, 1, 1 ) );
            builder->set_polygon_vertex( { 11, 1 }, copy );
            builder->create_point( point( 0, 0, 1e-9 ) );
            builder->compute_polygon_adjacencies();
        }
        convert( {}, { *cube } );
        // One surface. The edges that triangle 11 joined through the copy,
        // (1, 7) and (7, 5), were stored as borders on both sides, and the
        // merge keeps stored borders: a slit from corner 5 through vertex 7
        // to corner 1, one line inside the surface.
        ASSERT_EQ( model.nb_surfaces(), 1u );
        std::vector< Point< 3 > > corners;
        for( const auto& corner : model.corners() )
        {
            corners.push_back( corner.mesh().point( 0 ) );
        }
        EXPECT_EQ( corners,
                   ( std::vector< Point< 3 > >{ point( 1, 0, 1 ),
                                                point( 1, 0, 0 ) } ) );
        ASSERT_EQ( model.nb_lines(), 1u );
        const auto& surface = *model.surfaces().begin();
        EXPECT_TRUE(
            model.is_internal( model.lines().begin()->id(), surface.id() ) );
        EXPECT_EQ( surface.name(), "cube" );
        EXPECT_EQ( surface.mesh().nb_vertices(), 8u );
        EXPECT_EQ( surface.mesh().nb_polygons(), 12u );
        EXPECT_EQ( test::nb_border_edges( surface.mesh() ), 4u );
        EXPECT_EQ( model.nb_unique_vertices(), 8u );
        // The stray vertex maps where vertex 0 does.
        EXPECT_EQ( vertices.in2out( { cube->id(), 9 } ),
                   vertices.in2out( { cube->id(), 0 } ) );
        EXPECT_FALSE( has_identifier( *cube ) );
    }

    TEST_F( FromMeshesTest, stale_labels_are_regrouped )
    {
        const auto cube = test::closed_cube();
        auto labels =
            cube->polygon_attribute_manager()
                .find_or_create_attribute< VariableAttribute, index_t >(
                    "surface_identifier", INVALID_INDEX );
        for( index_t p = 0; p < cube->nb_polygons(); p++ )
        {
            labels->set_value( p, p < 6 ? 4 : 9 );
        }
        labels.reset();
        convert( {}, { *cube } );
        ASSERT_EQ( model.nb_surfaces(), 1u );

        // The caller's own attribute of that name is left as it was.
        const auto other = test::closed_cube();
        const auto own =
            other->polygon_attribute_manager()
                .find_or_create_attribute< VariableAttribute, uuid >(
                    "surface_identifier", uuid{} );
        const auto value = own->value( 0 );
        BRep unused;
        FromMeshes builder{ unused, {}, { *other } };
        builder.build();
        builder.build_surfaces();
        builder.mappings();
        EXPECT_EQ( other->polygon_attribute_manager()
                       .find_attribute< uuid >( "surface_identifier" )
                       ->value( 0 ),
                   value );
    }

    TEST_F( FromMeshesTest, refuses_non_finite_points_in_use )
    {
        using SectionFromMeshes =
            detail::CornersLinesBuilderFromMeshes< Section, SectionBuilder, 2 >;
        auto sheet = test::grid_sheet_2d( 2, 1 );
        auto builder = SurfaceMeshBuilder< 2 >::create( *sheet );
        // Unused: accepted, as it is ignored anyway.
        builder->create_point(
            Point< 2 >{ { std::numeric_limits< double >::infinity(), 0 } } );
        {
            Section section;
            EXPECT_NO_THROW( ( SectionFromMeshes{ section, {}, { *sheet } } ) );
        }
        builder->set_point(
            4,
            Point< 2 >{ { 1, std::numeric_limits< double >::quiet_NaN() } } );
        builder->set_name( "grid" );
        Section section;
        test::expect_error(
            [&] {
                SectionFromMeshes refused{ section, {}, { *sheet } };
            },
            "[CornersLinesBuilderFromMeshes] Vertex 4 of mesh 'grid' has a "
            "non-finite coordinate" );
    }

    TEST_F( FromMeshesTest, refuses_steps_out_of_order_or_twice )
    {
        const auto cube = test::closed_cube();
        const Surfaces surfaces{ *cube };
        FromMeshes builder{ model, {}, surfaces };
        test::expect_exact_error(
            [&] { builder.build_surfaces(); },
            "[CornersLinesBuilderFromMeshes::build_surfaces] The lines are "
            "not built: run build() first" );
        test::expect_exact_error(
            [&] { builder.mappings(); },
            "[CornersLinesBuilderFromMeshes::mappings] The surfaces are not "
            "built: run build_surfaces() first" );
        test::expect_error( [&] { builder.build_lines_step(); },
                            "[CornersLinesBuilder::build_lines_step] The "
                            "corners are not built: run build_corners_step() "
                            "first" );
        builder.build_wireframe_step();
        test::expect_error( [&] { builder.build_wireframe_step(); },
                            "[CornersLinesBuilder::build_wireframe_step] The "
                            "wireframe is built already" );
        builder.build_corners_step();
        // The corners and lines steps run again add nothing.
        const auto nb_corners = model.nb_corners();
        builder.build_corners_step();
        EXPECT_EQ( model.nb_corners(), nb_corners );
        test::expect_exact_error(
            [&] { builder.build_surfaces(); },
            "[CornersLinesBuilderFromMeshes::build_surfaces] The lines are "
            "not built: run build() first" );
        builder.build_lines_step();
        const auto nb_lines = model.nb_lines();
        builder.build_lines_step();
        EXPECT_EQ( model.nb_lines(), nb_lines );
        builder.build_surfaces();
        test::expect_exact_error(
            [&] { builder.build_surfaces(); },
            "[CornersLinesBuilderFromMeshes::build_surfaces] The surfaces are "
            "built already" );
        const auto mappings = builder.mappings();
        test::expect_exact_error(
            [&] { builder.mappings(); },
            "[CornersLinesBuilderFromMeshes::mappings] The mappings are taken "
            "already" );
        // Refused steps changed nothing: one surface, mapped once.
        EXPECT_EQ( model.nb_surfaces(), 1u );
        EXPECT_TRUE( test::check_brep_consistency( model ) );
        EXPECT_TRUE( test::check_mappings(
            model, mappings.first, mappings.second, surfaces ) );

        // Corners before the wireframe would have found none.
        BRep other;
        FromMeshes early{ other, {}, surfaces };
        test::expect_error(
            [&] { early.build_corners_step(); },
            "[CornersLinesBuilder::build_corners_step] The "
            "wireframe is not built: run build_wireframe_step() "
            "first" );
        EXPECT_EQ( other.nb_corners(), 0u );
    }

    TEST_F( FromMeshesTest, refuses_a_model_with_unique_vertices )
    {
        // Unique vertex k must stand for distinct point k of the inputs.
        auto cube = test::closed_cube();
        BRep brep;
        BRepBuilder{ brep }.create_unique_vertices( 3 );
        test::expect_error(
            [&] {
                FromMeshes refused{ brep, {}, { *cube } };
            },
            "[CornersLinesBuilderFromMeshes] The model to build must have no "
            "unique vertex (it has 3)" );
        EXPECT_EQ( brep.nb_surfaces(), 0 );
        EXPECT_FALSE( cube->polygon_attribute_manager().attribute_exists(
            "surface_identifier" ) );
    }

    TEST_F( FromMeshesTest, refuses_a_corner_asked_at_no_input_vertex )
    {
        auto cube = test::closed_cube();
        detail::MeshesConversionOptions options;
        options.corner_vertices.emplace_back( cube->id(), 8 );
        BRep brep;
        FromMeshes builder{ brep, {}, { *cube }, options };
        test::expect_exact_error(
            [&] { builder.build(); },
            absl::StrCat( "[CornersLinesBuilderFromMeshes] Vertex 8 of mesh '",
                          cube->id().string(),
                          "' is no input vertex to put a corner at" ) );
    }

    TEST_F( FromMeshesTest, one_sided_adjacency_is_rebuilt_by_merging )
    {
        // Polygon 3 forgets its neighbours, which still name it: used as it
        // is, its edges would make border lines inside a closed box.
        auto cube = test::closed_cube();
        {
            auto builder = SurfaceMeshBuilder< 3 >::create( *cube );
            for( const local_index_t e : { 0, 1, 2 } )
            {
                builder->unset_polygon_adjacent( { 3, e } );
            }
        }
        convert( {}, { *cube } );
        EXPECT_EQ( model.nb_surfaces(), 1u );
        EXPECT_EQ( model.nb_lines(), 0u );
        EXPECT_FALSE( has_identifier( *cube ) );
    }

    TEST_F( FromMeshesTest, surface_orientations_are_made_consistent )
    {
        // Every odd triangle of the sheet reversed: the surface gets them
        // back in line with triangle 0, same polygons, same mappings.
        auto sheet = test::grid_sheet_2d( 3, 2 );
        {
            auto builder = SurfaceMeshBuilder< 2 >::create( *sheet );
            for( index_t p = 1; p < sheet->nb_polygons(); p += 2 )
            {
                const auto v1 = sheet->polygon_vertex( { p, 1 } );
                builder->set_polygon_vertex(
                    { p, 1 }, sheet->polygon_vertex( { p, 2 } ) );
                builder->set_polygon_vertex( { p, 2 }, v1 );
            }
            builder->compute_polygon_adjacencies();
        }
        Section section;
        detail::CornersLinesBuilderFromMeshes< Section, SectionBuilder, 2 >
            builder{ section, {}, { *sheet } };
        builder.build();
        builder.build_surfaces();
        const auto result = builder.mappings();
        ASSERT_EQ( section.nb_surfaces(), 1u );
        const auto& mesh = section.surfaces().begin()->mesh();
        ASSERT_EQ( mesh.nb_polygons(), sheet->nb_polygons() );
        const auto signed_area = [&mesh]( index_t p )
        {
            const auto at = [&mesh, p]( local_index_t k ) {
                return mesh.point( mesh.polygon_vertex( { p, k } ) );
            };
            const Vector< 2 > u{ at( 0 ), at( 1 ) };
            const Vector< 2 > v{ at( 0 ), at( 2 ) };
            return u.value( 0 ) * v.value( 1 ) - u.value( 1 ) * v.value( 0 );
        };
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            EXPECT_GT( signed_area( p ) * signed_area( 0 ), 0 )
                << "polygon " << p;
            EXPECT_EQ( result.second.in2out( { sheet->id(), p } )[0].element,
                       p );
        }
    }

    TEST_F( FromMeshesTest, section_from_a_2d_mesh )
    {
        auto sheet = test::grid_sheet_2d( 3, 2 );
        test::cut_adjacencies< 2 >(
            *sheet, []( index_t p ) { return ( p / 2 ) % 3 < 1 ? 0u : 1u; } );
        Section section;
        detail::CornersLinesBuilderFromMeshes< Section, SectionBuilder, 2 >
            builder{ section, {}, { *sheet } };
        builder.build();
        builder.build_surfaces();
        const auto result = builder.mappings();
        EXPECT_EQ( section.nb_surfaces(), 2u );
        EXPECT_EQ( section.nb_corners(), 2u );
        EXPECT_EQ( section.nb_lines(), 3u );
        for( index_t p = 0; p < sheet->nb_polygons(); p++ )
        {
            EXPECT_EQ( result.second.in2out( { sheet->id(), p } ).size(), 1u );
        }
    }

    // An input whose polygons fall into several surfaces gives each surface
    // the values of exactly the vertices and polygons it took.
    TEST_F( FromMeshesTest, attributes_follow_into_every_surface )
    {
        const auto sheet = test::sheet_with_cut( 4, 2, 2 );
        auto height =
            sheet->vertex_attribute_manager()
                .find_or_create_attribute< VariableAttribute, index_t >(
                    "height", INVALID_INDEX );
        for( index_t v = 0; v < sheet->nb_vertices(); v++ )
        {
            height->set_value( v, 100 + v );
        }
        auto tag = sheet->polygon_attribute_manager()
                       .find_or_create_attribute< VariableAttribute, index_t >(
                           "tag", INVALID_INDEX );
        auto mark = sheet->polygon_attribute_manager()
                        .find_or_create_attribute< SparseAttribute, index_t >(
                            "mark", 7 );
        for( index_t p = 0; p < sheet->nb_polygons(); p++ )
        {
            tag->set_value( p, 1000 + p );
            if( p % 3 == 0 )
            {
                mark->set_value( p, p );
            }
        }
        convert( {}, { *sheet } );
        ASSERT_EQ( model.nb_surfaces(), 2u );
        for( index_t p = 0; p < sheet->nb_polygons(); p++ )
        {
            const auto& target = elements.in2out( { sheet->id(), p } ).at( 0 );
            const auto& manager = model.surface( target.component_id.id() )
                                      .mesh()
                                      .polygon_attribute_manager();
            EXPECT_EQ( manager.find_attribute< index_t >( "tag" )->value(
                           target.element ),
                       1000 + p );
            EXPECT_EQ( manager.find_attribute< index_t >( "mark" )->value(
                           target.element ),
                       p % 3 == 0 ? p : 7 );
        }
        for( index_t v = 0; v < sheet->nb_vertices(); v++ )
        {
            for( const auto& target : vertices.in2out( { sheet->id(), v } ) )
            {
                EXPECT_EQ( model.surface( target.component_id.id() )
                               .mesh()
                               .vertex_attribute_manager()
                               .find_attribute< index_t >( "height" )
                               ->value( target.vertex ),
                           100 + v );
            }
        }
    }

    // Two input vertices at one point feed one surface vertex: the later
    // one's value wins in every surface, as an import of the whole input
    // would have it.
    TEST_F( FromMeshesTest, merged_vertices_take_the_later_value )
    {
        const auto mesh =
            test::triangulated_surface( { point( 0, 0, 0 ),
                                          point( 1, 0, 0 ),
                                          point( 0, 1, 0 ),
                                          point( 1, 0, 0 ),
                                          point( 2, 0, 0 ),
                                          point( 2, 1, 0 ) },
                                        { { 0, 1, 2 }, { 3, 4, 5 } },
                                        "pair" );
        auto height =
            mesh->vertex_attribute_manager()
                .find_or_create_attribute< VariableAttribute, index_t >(
                    "height", INVALID_INDEX );
        for( index_t v = 0; v < mesh->nb_vertices(); v++ )
        {
            height->set_value( v, 100 + v );
        }
        convert( {}, { *mesh } );
        ASSERT_EQ( model.nb_surfaces(), 2u );
        for( index_t v : { 1u, 3u } )
        {
            const auto& targets = vertices.in2out( { mesh->id(), v } );
            ASSERT_EQ( targets.size(), 2u );
            for( const auto& target : targets )
            {
                EXPECT_EQ( model.surface( target.component_id.id() )
                               .mesh()
                               .vertex_attribute_manager()
                               .find_attribute< index_t >( "height" )
                               ->value( target.vertex ),
                           103u );
            }
        }
    }

    // Importing into each of many surfaces must not walk the whole input
    // each time: that is quadratic on a mesh of many small parts.
    TEST_F( FromMeshesTest, importing_into_many_surfaces_stays_linear )
    {
        constexpr index_t nb_triangles{ 200 };
        std::vector< Point< 3 > > points;
        std::vector< std::array< index_t, 3 > > triangles;
        for( index_t t = 0; t < nb_triangles; t++ )
        {
            const double x = 3.0 * t;
            points.push_back( point( x, 0, 0 ) );
            points.push_back( point( x + 1, 0, 0 ) );
            points.push_back( point( x, 1, 0 ) );
            triangles.push_back( { 3 * t, 3 * t + 1, 3 * t + 2 } );
        }
        const auto soup = test::triangulated_surface( points, triangles );
        auto vertex_walked = std::make_shared< std::size_t >( 0 );
        auto polygon_walked = std::make_shared< std::size_t >( 0 );
        auto heights = std::make_shared< CountingAttribute >( vertex_walked );
        soup->vertex_attribute_manager().register_attribute( heights,
                                                             "height" );
        auto tags = std::make_shared< CountingAttribute >( polygon_walked );
        soup->polygon_attribute_manager().register_attribute( tags, "tag" );
        for( index_t p = 0; p < nb_triangles; p++ )
        {
            tags->set_value( p, p );
        }
        convert( {}, { *soup } );
        ASSERT_EQ( model.nb_surfaces(), nb_triangles );
        EXPECT_LE( *vertex_walked, 2 * soup->nb_vertices() );
        EXPECT_LE( *polygon_walked, 2 * soup->nb_polygons() );
        for( index_t p = 0; p < nb_triangles; p++ )
        {
            const auto& target = elements.in2out( { soup->id(), p } ).at( 0 );
            EXPECT_EQ( model.surface( target.component_id.id() )
                           .mesh()
                           .polygon_attribute_manager()
                           .find_attribute< index_t >( "tag" )
                           ->value( target.element ),
                       p );
        }
    }

    // A curve that lingers at one point: its zero-length edges share one
    // wireframe edge, its lingering vertices one unique vertex.
    TEST_F( FromMeshesTest, curve_lingering_at_a_point )
    {
        const Point< 3 > origin{ { 0, 0, 0 } };
        const auto curve = test::polyline< 3 >( { point( -1, 0, 0 ),
                                                  origin,
                                                  origin,
                                                  origin,
                                                  origin,
                                                  origin,
                                                  point( 1, 0, 0 ) },
                                                false );
        convert( { *curve }, {} );
        // Both ends and the lingering point are corners; the zero-length
        // edges make a line from that corner back to it.
        EXPECT_EQ( model.nb_corners(), 3u );
        ASSERT_EQ( model.nb_lines(), 3u );
        const auto& loop = elements.in2out( { curve->id(), 1 } ).at( 0 );
        for( index_t e = 2; e < 5; e++ )
        {
            EXPECT_EQ( elements.in2out( { curve->id(), e } ).at( 0 ), loop );
        }
        const auto& inputs = elements.out2in( loop );
        ASSERT_EQ( inputs.size(), 4u );
        for( index_t k = 0; k < 4; k++ )
        {
            EXPECT_EQ( inputs[k].element, k + 1 );
        }
        for( index_t v = 1; v < 6; v++ )
        {
            // One vertex on each straight line, both ends of the loop.
            EXPECT_EQ( vertices.in2out( { curve->id(), v } ).size(), 4u );
        }
        // Only final entries: every value is a vertex or edge of a line of
        // the model.
        EXPECT_EQ( elements.out2in_map().size(), 3u );
        for( const auto& entry : elements.out2in_map() )
        {
            EXPECT_NO_THROW( model.line( entry.first.component_id.id() ) );
        }
        for( const auto& entry : vertices.out2in_map() )
        {
            EXPECT_NO_THROW( model.line( entry.first.component_id.id() ) );
        }
    }
} // namespace
