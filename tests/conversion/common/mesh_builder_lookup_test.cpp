#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/conversion/common/mesh_builder_lookup.h>
#include <vorna/conversion/conversion_model.h>
#include <vorna/mesh/mesh_builder_factory.h>
#include <vorna/mesh/solid_mesh_builder.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/mesh/vertex_set_builder.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/section.h>
#include <vorna/model/section_builder.h>

namespace
{
    // A surface that reports an implementation key of the test's choosing.
    class KeyedSurface : public vorna::PolygonalSurface< 3 >
    {
      public:
        explicit KeyedSurface( std::string key ) : key_( std::move( key ) ) {}

        vorna::MeshImpl impl_name() const override
        {
            return key_;
        }

      private:
        std::string key_;
    };

    // A builder of no particular interface.
    class PlainBuilder : public vorna::VertexSetBuilder
    {
      public:
        using VertexSetBuilder::VertexSetBuilder;
    };

    std::string message_of( vorna::SurfaceMesh< 3 >& mesh )
    {
        try
        {
            vorna::create_surface_mesh_builder( mesh );
        }
        catch ( const vorna::CorvaneException& error )
        {
            return error.what();
        }
        return "no exception";
    }

    class MeshBuilderLookup : public ::testing::Test
    {
      protected:
        static void SetUpTestSuite()
        {
            vorna::ConversionModel::initialize();
        }
    };

    TEST_F( MeshBuilderLookup, BuilderWritesIntoThatMesh )
    {
        auto mesh = vorna::SurfaceMesh< 3 >::create();
        auto builder = vorna::create_surface_mesh_builder( *mesh );
        ASSERT_TRUE( builder );
        builder->create_point( vorna::Point< 3 >{ { 1., 2., 3. } } );
        EXPECT_EQ( mesh->nb_vertices(), 1u );
    }

    TEST_F( MeshBuilderLookup, UnknownKeyAndWrongBuilderMessages )
    {
        KeyedSurface unknown{ "UnregisteredImplOfTest" };
        EXPECT_EQ(
            message_of( unknown ),
            "[Factory::create] Factory does not contain the requested key" );

        vorna::MeshBuilderFactory::register_creator< PlainBuilder >(
            vorna::MeshImpl{ "PlainBuilderImplOfTest" } );
        KeyedSurface wrong{ "PlainBuilderImplOfTest" };
        EXPECT_EQ(
            message_of( wrong ),
            "Cannot create mesh builder with key: PlainBuilderImplOfTest" );
    }

    TEST_F( MeshBuilderLookup, ConcurrentLookupsOnOwnMeshes )
    {
        constexpr int nb_threads = 8;
        std::vector< std::unique_ptr< vorna::SurfaceMesh< 3 > > > meshes;
        for ( int t = 0; t < nb_threads; t++ )
        {
            meshes.push_back( vorna::SurfaceMesh< 3 >::create() );
        }
        std::vector< std::thread > threads;
        for ( int t = 0; t < nb_threads; t++ )
        {
            threads.emplace_back(
                [&mesh = *meshes[t], t]
                {
                    for ( int i = 0; i <= t; i++ )
                    {
                        vorna::create_surface_mesh_builder( mesh )
                            ->create_point(
                                vorna::Point< 3 >{ { 0., 0., 0. } } );
                    }
                } );
        }
        for ( auto& thread : threads )
        {
            thread.join();
        }
        for ( int t = 0; t < nb_threads; t++ )
        {
            EXPECT_EQ( meshes[t]->nb_vertices(),
                       static_cast< unsigned >( t + 1 ) );
        }
    }
    TEST_F( MeshBuilderLookup, ComponentBuildersWriteIntoComponentMeshes )
    {
        vorna::BRep brep;
        vorna::BRepBuilder brep_builder{ brep };
        const auto surface = brep_builder.add_surface();
        const auto block = brep_builder.add_block();
        vorna::brep_surface_mesh_builder( brep, surface )
            ->create_point( vorna::Point< 3 >{ { 1., 0., 0. } } );
        vorna::brep_block_mesh_builder( brep, block )
            ->create_point( vorna::Point< 3 >{ { 0., 1., 0. } } );
        EXPECT_EQ( brep.surface( surface ).mesh().nb_vertices(), 1u );
        EXPECT_EQ( brep.block( block ).mesh().nb_vertices(), 1u );
        EXPECT_THROW( vorna::brep_surface_mesh_builder( brep, vorna::uuid{} ),
                      vorna::CorvaneException );

        vorna::Section section;
        vorna::SectionBuilder section_builder{ section };
        const auto section_surface = section_builder.add_surface();
        vorna::section_surface_mesh_builder( section, section_surface )
            ->create_point( vorna::Point< 2 >{ { 1., 0. } } );
        EXPECT_EQ( section.surface( section_surface ).mesh().nb_vertices(),
                   1u );
    }
} // namespace
