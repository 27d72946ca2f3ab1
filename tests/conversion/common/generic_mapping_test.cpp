#include <stdexcept>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include <vorna/basic/uuid.h>
#include <vorna/conversion/common/component_mesh_element.h>
#include <vorna/conversion/common/generic_mapping.h>
#include <vorna/conversion/common/mesh_element.h>
#include <vorna/conversion/common/mesh_vertex.h>
#include <vorna/model/component_mesh_vertex.h>

namespace
{
    using vorna::ComponentID;
    using vorna::ComponentMeshElement;
    using vorna::ComponentMeshVertex;
    using vorna::MeshElement;
    using vorna::MeshVertex;
    using ElementMapping =
        vorna::GenericMapping< MeshElement, ComponentMeshElement >;

    constexpr char at_message[] =
        "absl::container_internal::raw_hash_map<>::at";

    class GenericMappingTest : public ::testing::Test
    {
      protected:
        ComponentMeshElement line( vorna::index_t element ) const
        {
            return { ComponentID{ "Line", component_ }, element };
        }

        vorna::uuid mesh_;
        vorna::uuid component_;
        ElementMapping mapping_;
    };

    TEST_F( GenericMappingTest, EraseInOfAbsentKeyChangesNothing )
    {
        mapping_.map( { mesh_, 0 }, line( 0 ) );
        mapping_.erase_in( { mesh_, 1 } );
        mapping_.erase_out( line( 5 ) );
        EXPECT_EQ( mapping_.in2out_map().size(), 1u );
        EXPECT_EQ( mapping_.out2in_map().size(), 1u );
    }

    TEST_F( GenericMappingTest, EraseInDropsOutputsLeftEmpty )
    {
        const MeshElement shared{ mesh_, 0 };
        const MeshElement alone{ mesh_, 1 };
        mapping_.map( shared, line( 0 ) );
        mapping_.map( shared, line( 1 ) );
        mapping_.map( alone, line( 1 ) );
        EXPECT_EQ( mapping_.in2out( shared ).size(), 2u );
        mapping_.erase_in( shared );
        EXPECT_FALSE( mapping_.has_mapping_input( shared ) );
        EXPECT_FALSE( mapping_.has_mapping_output( line( 0 ) ) );
        ASSERT_TRUE( mapping_.has_mapping_output( line( 1 ) ) );
        EXPECT_EQ( mapping_.out2in( line( 1 ) ).size(), 1u );
        EXPECT_EQ( mapping_.out2in( line( 1 ) )[0], alone );
    }

    TEST_F( GenericMappingTest, DuplicatePairsGoTogether )
    {
        const MeshElement in{ mesh_, 0 };
        mapping_.map( in, line( 0 ) );
        mapping_.map( in, line( 0 ) );
        EXPECT_EQ( mapping_.out2in( line( 0 ) ).size(), 2u );
        mapping_.erase_out( line( 0 ) );
        EXPECT_TRUE( mapping_.in2out_map().empty() );
        EXPECT_TRUE( mapping_.out2in_map().empty() );
    }

    TEST_F( GenericMappingTest, LookupsOfAbsentKeysThrowOutOfRange )
    {
        try
        {
            mapping_.in2out( { mesh_, 3 } );
            FAIL() << "expected an exception";
        }
        catch ( const std::out_of_range& error )
        {
            EXPECT_STREQ( error.what(), at_message );
        }
        EXPECT_THROW( mapping_.out2in( line( 0 ) ), std::out_of_range );
    }

    TEST_F( GenericMappingTest, TypeNameTellsElementsApart )
    {
        const ComponentMeshElement surface{
            ComponentID{ "Surface", component_ }, 0 };
        EXPECT_NE( line( 0 ), surface );
        mapping_.map( { mesh_, 0 }, line( 0 ) );
        mapping_.map( { mesh_, 0 }, surface );
        EXPECT_EQ( mapping_.out2in_map().size(), 2u );
        EXPECT_EQ( mapping_.in2out( { mesh_, 0 } )[1], surface );
    }

    TEST_F( GenericMappingTest, MoveLeavesSourceEmpty )
    {
        mapping_.map( { mesh_, 0 }, line( 0 ) );
        ElementMapping moved{ std::move( mapping_ ) };
        EXPECT_TRUE( mapping_.in2out_map().empty() );
        EXPECT_TRUE( mapping_.out2in_map().empty() );
        EXPECT_TRUE( moved.has_mapping_input( { mesh_, 0 } ) );
        ElementMapping assigned;
        assigned = std::move( moved );
        EXPECT_TRUE( moved.out2in_map().empty() );
        EXPECT_TRUE( assigned.has_mapping_output( line( 0 ) ) );
    }

    TEST( ComponentRecords, ConstructionMovesTheTypeName )
    {
        vorna::ComponentType type{ "Corner" };
        const vorna::uuid id;
        ComponentID component{ std::move( type ), id };
        EXPECT_EQ( component.type().get(), "Corner" );
        EXPECT_EQ( component.id(), id );
        EXPECT_EQ( component.string(), "Corner " + id.string() );

        ComponentMeshElement element{ std::move( component ), 4 };
        EXPECT_TRUE( component.type().get().empty() );
        EXPECT_EQ( element.component_id.type().get(), "Corner" );

        vorna::GenericMapping< MeshVertex, ComponentMeshVertex > vertices;
        const ComponentMeshVertex vertex{ element.component_id, 2 };
        vertices.map( { id, 1 }, vertex );
        EXPECT_EQ( vertices.out2in( vertex )[0], ( MeshVertex{ id, 1 } ) );
        EXPECT_NE( vertex, ( ComponentMeshVertex{ element.component_id, 3 } ) );
    }
} // namespace
