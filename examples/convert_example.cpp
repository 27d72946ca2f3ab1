// Converts a few surface meshes built in code into BReps and prints what
// each model holds.

#include <array>
#include <chrono>
#include <functional>
#include <iomanip>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <absl/strings/string_view.h>

#include <vorna/basic/logger.h>
#include <vorna/conversion/common/attribute.h>
#include <vorna/conversion/conversion_model.h>
#include <vorna/conversion/model/convert_surfaces_into_brep.h>
#include <vorna/geometry/point.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/brep.h>
#include <vorna/model/model_boundary.h>

namespace
{
    using vorna::index_t;
    using vorna::Point3D;
    using vorna::SurfaceMesh;
    using vorna::SurfaceMeshBuilder;

    std::unique_ptr< SurfaceMesh< 3 > > new_surface( const std::string& name )
    {
        auto mesh = SurfaceMesh< 3 >::create();
        SurfaceMeshBuilder< 3 >::create( *mesh )->set_name( name );
        return mesh;
    }

    // Closed box of six quads whose normals point outwards.
    std::unique_ptr< SurfaceMesh< 3 > >
    make_box( const std::string& name, const Point3D& min, const Point3D& max )
    {
        auto mesh = new_surface( name );
        auto builder = SurfaceMeshBuilder< 3 >::create( *mesh );
        // Corner k takes max along axis a when bit a of k is set.
        for( index_t k = 0; k < 8; k++ )
        {
            std::array< double, 3 > values;
            for( index_t axis = 0; axis < 3; axis++ )
            {
                values[axis] =
                    ( k >> axis ) & 1 ? max.value( axis ) : min.value( axis );
            }
            builder->create_point( Point3D{ values } );
        }
        builder->create_polygon( { 0, 2, 3, 1 } ); // z = min
        builder->create_polygon( { 4, 5, 7, 6 } ); // z = max
        builder->create_polygon( { 0, 1, 5, 4 } ); // y = min
        builder->create_polygon( { 2, 6, 7, 3 } ); // y = max
        builder->create_polygon( { 0, 4, 6, 2 } ); // x = min
        builder->create_polygon( { 1, 3, 7, 5 } ); // x = max
        builder->compute_polygon_adjacencies();
        return mesh;
    }

    // Flat square sheet of n x n quads in the plane z = 0.
    std::unique_ptr< SurfaceMesh< 3 > > make_sheet( const std::string& name,
                                                    index_t n )
    {
        auto mesh = new_surface( name );
        auto builder = SurfaceMeshBuilder< 3 >::create( *mesh );
        for( index_t j = 0; j <= n; j++ )
        {
            for( index_t i = 0; i <= n; i++ )
            {
                builder->create_point(
                    Point3D{ { double( i ), double( j ), 0 } } );
            }
        }
        for( index_t j = 0; j < n; j++ )
        {
            for( index_t i = 0; i < n; i++ )
            {
                const index_t v = j * ( n + 1 ) + i;
                builder->create_polygon( { v, v + 1, v + n + 2, v + n + 1 } );
            }
        }
        builder->compute_polygon_adjacencies();
        return mesh;
    }

    // The README's mesh from arrays: keep the two alike.
    std::unique_ptr< vorna::SurfaceMesh3D > make_square()
    {
        const std::vector< vorna::Point3D > points{
            vorna::Point3D{ { 0, 0, 0 } },
            vorna::Point3D{ { 1, 0, 0 } },
            vorna::Point3D{ { 1, 1, 0 } },
            vorna::Point3D{ { 0, 1, 0 } } };
        const std::vector< std::vector< vorna::index_t > > polygons{
            { 0, 1, 2 }, { 0, 2, 3 } };
        auto mesh = vorna::SurfaceMesh3D::create();
        auto builder = vorna::SurfaceMeshBuilder3D::create( *mesh );
        for( const auto& point : points )
        {
            builder->create_point( point );
        }
        for( const auto& polygon : polygons )
        {
            builder->create_polygon( polygon );
        }
        builder->compute_polygon_adjacencies(); // else one surface per polygon
        auto selected =
            mesh->polygon_attribute_manager()
                .find_or_create_attribute< vorna::VariableAttribute, bool >(
                    "selected", false );
        selected->set_value( 1, true );
        return mesh;
    }

    Point3D point( double x, double y, double z )
    {
        return Point3D{ { x, y, z } };
    }

    void convert_and_report(
        const std::string& title,
        const std::vector< std::unique_ptr< SurfaceMesh< 3 > > >& meshes )
    {
        std::vector< std::reference_wrapper< const SurfaceMesh< 3 > > > inputs;
        for( const auto& mesh : meshes )
        {
            inputs.emplace_back( *mesh );
        }
        std::cout << "== " << title << std::endl;
        const auto start = std::chrono::steady_clock::now();
        const auto result = vorna::convert_surfaces_into_brep( inputs );
        const std::chrono::duration< double, std::milli > elapsed =
            std::chrono::steady_clock::now() - start;
        const auto& brep = std::get< 0 >( result );
        std::cout << "   corners " << brep.nb_corners() << ", lines "
                  << brep.nb_lines() << ", surfaces " << brep.nb_surfaces()
                  << ", blocks " << brep.nb_blocks() << ", model boundaries "
                  << brep.nb_model_boundaries() << "  (" << std::fixed
                  << std::setprecision( 2 ) << elapsed.count() << " ms)"
                  << std::endl;
        for( const auto& boundary : brep.model_boundaries() )
        {
            std::cout << "   model boundary \"" << boundary.name() << "\" of "
                      << brep.nb_items( boundary.id() ) << " surface(s)"
                      << std::endl;
        }
    }
} // namespace

int main()
{
    try
    {
        vorna::ConversionModel::initialize();
        // Info shows the module's notices; trace would show its progress.
        vorna::Logger::set_level( vorna::Logger::Level::info );
        vorna::Logger::set_sink(
            []( vorna::Logger::Level, absl::string_view text )
            { std::cout << "   log: " << text << std::endl; } );

        std::vector< std::unique_ptr< SurfaceMesh< 3 > > > square;
        square.push_back( make_square() );
        convert_and_report( "square of two triangles", square );

        std::vector< std::unique_ptr< SurfaceMesh< 3 > > > closed_box;
        closed_box.push_back(
            make_box( "box", point( 0, 0, 0 ), point( 1, 1, 1 ) ) );
        convert_and_report( "closed box", closed_box );

        std::vector< std::unique_ptr< SurfaceMesh< 3 > > > nested;
        nested.push_back(
            make_box( "outer", point( 0, 0, 0 ), point( 3, 3, 3 ) ) );
        nested.push_back(
            make_box( "inner", point( 1, 1, 1 ), point( 2, 2, 2 ) ) );
        convert_and_report( "box with a nested box", nested );

        std::vector< std::unique_ptr< SurfaceMesh< 3 > > > sheet;
        sheet.push_back( make_sheet( "sheet", 4 ) );
        convert_and_report( "open sheet", sheet );

        std::vector< std::unique_ptr< SurfaceMesh< 3 > > > sharing;
        sharing.push_back(
            make_box( "left", point( 0, 0, 0 ), point( 1, 1, 1 ) ) );
        sharing.push_back(
            make_box( "right", point( 1, 0, 0 ), point( 2, 1, 1 ) ) );
        convert_and_report( "two boxes sharing a face", sharing );
    }
    catch( const std::exception& error )
    {
        std::cerr << "Conversion failed: " << error.what() << std::endl;
        return 1;
    }
    return 0;
}
