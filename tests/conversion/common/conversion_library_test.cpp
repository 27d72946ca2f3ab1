#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <support/expect_error.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/conversion/common/attribute.h>
#include <vorna/conversion/common/mesh_builder_lookup.h>
#include <vorna/conversion/common/unset_uuid.h>
#include <vorna/conversion/conversion_model.h>
#include <vorna/mesh/mesh_builder_factory.h>
#include <vorna/mesh/solid_mesh_builder.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/section.h>
#include <vorna/model/section_builder.h>

namespace
{
    TEST( CorvaneException, MessageFormsJoinWithNothingBetween )
    {
        const char* null_text = nullptr;
        EXPECT_STREQ( vorna::CorvaneException{ null_text }.what(), "" );
        const std::string key{ "DefaultPointSet3D" };
        const vorna::CorvaneException two_parts(
            "Cannot create mesh builder with key: ", key );
        EXPECT_STREQ(
            two_parts.what(),
            "Cannot create mesh builder with key: DefaultPointSet3D" );
        const vorna::CorvaneException four_parts(
            "a", std::string{ "b" }, "c", std::string{ "d" } );
        EXPECT_STREQ( four_parts.what(), "abcd" );
        EXPECT_THROW( throw vorna::CorvaneException{ "x" },
                      std::runtime_error );
    }

    TEST( UnsetUuid, DefaultOfUnwrittenElements )
    {
        EXPECT_NE( vorna::uuid{}, vorna::UNSET_UUID );
        vorna::AttributeManager manager;
        manager.resize( 2 );
        auto attribute =
            manager.find_or_create_attribute< vorna::VariableAttribute,
                                              vorna::uuid >(
                "surface_uuid", vorna::UNSET_UUID );
        attribute->set_value( 1, vorna::uuid{} );
        EXPECT_EQ( attribute->value( 0 ), vorna::UNSET_UUID );
        EXPECT_NE( attribute->value( 1 ), vorna::UNSET_UUID );
    }

    TEST( ConversionModel, InitialiseRepeatedlyAndConcurrently )
    {
        vorna::ConversionModel::initialize();
        // The framework's builders are registered from here on.
        EXPECT_TRUE( vorna::MeshBuilderFactory::has_creator(
            vorna::PolygonalSurface< 3 >::impl_name_static() ) );
        std::vector< std::thread > threads;
        for( int t = 0; t < 4; t++ )
        {
            threads.emplace_back( []
                                  { vorna::ConversionModel::initialize(); } );
        }
        for( auto& thread : threads )
        {
            thread.join();
        }
    }

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

    TEST( MeshBuilderLookup, UnknownKeyAndWrongBuilderMessages )
    {
        vorna::ConversionModel::initialize();
        KeyedSurface unknown{ "UnregisteredImplOfTest" };
        vorna::test::expect_error(
            [&] { vorna::create_surface_mesh_builder( unknown ); },
            "[Factory::create] Factory does not contain the requested key" );
        vorna::MeshBuilderFactory::register_creator< PlainBuilder >(
            vorna::MeshImpl{ "PlainBuilderImplOfTest" } );
        KeyedSurface wrong{ "PlainBuilderImplOfTest" };
        vorna::test::expect_error(
            [&] { vorna::create_surface_mesh_builder( wrong ); },
            "Cannot create mesh builder with key: PlainBuilderImplOfTest" );
    }

    TEST( MeshBuilderLookup, BuildersWriteIntoTheirOwnMesh )
    {
        vorna::ConversionModel::initialize();
        auto mesh = vorna::SurfaceMesh< 3 >::create();
        vorna::create_surface_mesh_builder( *mesh )->create_point(
            vorna::Point< 3 >{ { 1., 2., 3. } } );
        EXPECT_EQ( mesh->nb_vertices(), 1u );

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
        const auto section_surface =
            vorna::SectionBuilder{ section }.add_surface();
        vorna::section_surface_mesh_builder( section, section_surface )
            ->create_point( vorna::Point< 2 >{ { 1., 0. } } );
        EXPECT_EQ( section.surface( section_surface ).mesh().nb_vertices(),
                   1u );
    }
} // namespace
